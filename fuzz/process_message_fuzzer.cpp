// processMessage over sequences of fuzzed messages, with a stand-in Core and fixture applets
// loaded: commands mostly from QOR's own table, payloads mostly markup, texts with nulls,
// embedded zeros and unpaired surrogates. Each input ends with finalize, so every input starts
// from a fresh module and leaks show per input.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_text.h"
#include "qor/plugin.h"

namespace {

using qor::fuzz::consumeMarkup;
using qor::fuzz::consumeText;

bool coreRelease(const char16_t* text) {
    std::free(const_cast<char16_t*>(text));
    return true;
}

// Core answers with a copy of the command it received, and now and then with null.
const char16_t* coreSend(const MessageRecord* record, ReleaseFunction* outRelease) {
    const std::size_t units = std::char_traits<char16_t>::length(record->command);
    if (units % 5 == 4) {
        return nullptr;
    }
    auto* copy = static_cast<char16_t*>(std::malloc((units + 1) * sizeof(char16_t)));
    std::memcpy(copy, record->command, (units + 1) * sizeof(char16_t));
    *outRelease = coreRelease;
    return copy;
}

void coreLog(int32_t, const char16_t*, const char16_t*, const char16_t*, const char16_t*,
             const char16_t*, ...) {}

const std::array<const char16_t*, 9> kCommands = {
    u"LoadUIApplet",         u"PropertyChange", u"LoadBindings",
    u"ListenPropertyChange", u"LocalizeData",   u"UnloadUIApplet",
    u"GetLocaleForApplet",   u"Hello",          u"HandlePropertyChangeFromBL"};
const std::array<const char16_t*, 4> kTargetTypes = {u"Core", u"Applet", u"", u"applet"};
const std::array<const char16_t*, 4> kIdentifiers = {u"calc", u"Core", u"LocManager_CoreExt", u""};
const std::array<const char*, 4> kLibraries = {QOR_FIXTURE_APPLET, QOR_FIXTURE_NO_INITIALIZE,
                                               QOR_FIXTURE_NO_FINALIZE, QOR_NOT_A_LIBRARY};

template <std::size_t N>
std::u16string pickOrFuzz(FuzzedDataProvider& data, const std::array<const char16_t*, N>& known) {
    const std::size_t choice = data.ConsumeIntegralInRange<std::size_t>(0, N);
    return choice < N ? std::u16string(known[choice]) : consumeText(data, 16);
}

std::u16string loadPayload(FuzzedDataProvider& data) {
    const std::string path = kLibraries[data.ConsumeIntegralInRange<std::size_t>(0, 3)];
    return u"<applet appletID='" + pickOrFuzz(data, kIdentifiers) + u"' appletVersion='1' " +
           u"instanceID='w" + std::u16string(1, data.ConsumeIntegralInRange<char16_t>(u'0', u'3')) +
           u"' appletPath='" + std::u16string(path.begin(), path.end()) + u"'/>";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    HostContext context{};
    context.sendMessage = coreSend;
    context.logMessage = data.ConsumeBool() ? coreLog : nullptr;
    initialize(u"", &context);

    for (int message = 0; message < 8 && data.remaining_bytes() > 0; ++message) {
        std::array<std::u16string, 9> texts;
        texts[0] = pickOrFuzz(data, kTargetTypes);
        texts[1] = pickOrFuzz(data, kIdentifiers);
        texts[2] = data.ConsumeBool() ? u"1" : consumeText(data, 8);
        texts[3] = data.ConsumeBool() ? u"w1" : consumeText(data, 8);
        texts[4] = pickOrFuzz(data, kIdentifiers);
        texts[5] = consumeText(data, 8);
        texts[6] = consumeText(data, 8);
        texts[7] = pickOrFuzz(data, kCommands);
        texts[8] = texts[7] == u"LoadUIApplet" && data.ConsumeBool()
                       ? loadPayload(data)
                       : (data.ConsumeBool() ? consumeMarkup(data, 2048) : consumeText(data, 512));
        MessageRecord record{};
        record.version = data.ConsumeIntegral<int32_t>();
        const char16_t** fields[] = {
            &record.targetType,       &record.targetID, &record.targetVersion,
            &record.targetInstanceID, &record.sourceID, &record.sourceVersion,
            &record.sourceInstanceID, &record.command,  &record.data};
        const uint16_t nulls = data.ConsumeIntegral<uint16_t>();
        for (std::size_t i = 0; i < texts.size(); ++i) {
            // Now and then a null text: the record is then malformed.
            *fields[i] =
                (nulls >> i & 1) != 0 && (nulls & 0x8000) != 0 ? nullptr : texts[i].c_str();
        }
        record.flagA = data.ConsumeIntegral<uint8_t>();
        record.flagB = data.ConsumeIntegral<uint8_t>();
        record.flagC = data.ConsumeIntegral<uint8_t>();
        const bool withSlot = data.ConsumeIntegralInRange<int>(0, 7) != 0;
        ReleaseFunction release = nullptr;
        const char16_t* result = processMessage(&record, withSlot ? &release : nullptr);
        if (result != nullptr && release != nullptr) {
            release(result);
        }
    }
    finalize(nullptr);
    return 0;
}
