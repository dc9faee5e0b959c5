#include "replay.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "fixture_control.h"
#include "platform/utf8.h"
#include "qor/host_support.h"
#include "transcript.h"

namespace qor::differential {

namespace {

Replay* current = nullptr;

std::u16string textOrEmpty(const char16_t* text) {
    return text != nullptr ? text : u"";
}

char16_t* copyOf(std::u16string_view text) {
    auto* copy = static_cast<char16_t*>(std::malloc((text.size() + 1) * sizeof(char16_t)));
    if (copy != nullptr) {
        std::memcpy(copy, text.data(), text.size() * sizeof(char16_t));
        copy[text.size()] = 0;
    }
    return copy;
}

// A library's file name without its extension: the same on both platforms.
std::string stem(const char* library) {
    return std::filesystem::path(library).stem().string();
}

}  // namespace

Replay::Replay(const std::string& library, std::ostream& out) : qor_(library), out_(out) {
    if (current != nullptr) {
        throw std::logic_error("only one Replay at a time");
    }
    current = this;
    FixtureHooks hooks{};
    hooks.user = this;
    hooks.onInitialize = &Replay::appletInitializes;
    hooks.onProcessMessage = &Replay::appletReceives;
    hooks.onFinalize = &Replay::appletFinalizes;
    fixtureSetHooks(&hooks);
}

Replay::~Replay() {
    fixtureSetHooks(nullptr);
    current = nullptr;
}

void Replay::play(const CorpusCase& corpusCase) {
    TranscriptLine(out_, 0, "case")
        .word("at", corpusCase.location)
        .text("name", platform::fromUtf8(corpusCase.name));
    HostContext context{};
    context.sendMessage = &Replay::coreReceives;
    context.logMessage = &Replay::logLine;
    TranscriptLine(out_, 0, "host.initialize");
    ++depth_;
    const int32_t initialized = qor_.initialize(u"", &context);
    --depth_;
    TranscriptLine(out_, 0, "host.initialize.result").number("result", initialized);
    bool finalized = false;
    for (const CorpusStep& step : corpusCase.steps) {
        out_ << "# " << step.location << '\n';
        if (step.kind == CorpusStep::Kind::kFinalize) {
            finalize();
            finalized = true;
            continue;
        }
        finalized = false;
        if (step.kind == CorpusStep::Kind::kAppletSend) {
            if (appletSend_ == nullptr) {
                throw CorpusError(step.location + ": no fixture applet was given a context");
            }
            call(appletSend_, "applet.send", step.message);
        } else {
            call(qor_.processMessageFunction(), "host.send", step.message);
        }
        // A step that brings the replay down leaves the transcript up to the step before.
        out_.flush();
    }
    if (!finalized) {
        out_ << "# " << corpusCase.location << " (the case's end)\n";
        finalize();
    }
    TranscriptLine(out_, 0, "case.end")
        .number("coreRepliesNotReleased", coreOutstanding_)
        .number("coreStrayReleases", coreStrayReleases_)
        .number("appletRepliesNotReleased", fixtureOutstandingTexts());
    coreOutstanding_ = 0;
    coreStrayReleases_ = 0;
}

void Replay::finalize() {
    TranscriptLine(out_, 0, "host.finalize");
    ++depth_;
    const int32_t result = qor_.finalize();
    --depth_;
    TranscriptLine(out_, 0, "host.finalize.result").number("result", result);
    appletSend_ = nullptr;
}

std::optional<std::u16string> Replay::call(SendFunction send, const char* kind,
                                           const host::OutgoingMessage& message) {
    const MessageRecord record = message.record();
    TranscriptLine(out_, depth_, kind).record(record);
    ReleaseFunction release = nullptr;
    ++depth_;
    const char16_t* text = send(&record, &release);
    --depth_;
    std::optional<std::u16string> reply;
    if (text != nullptr) {
        reply = text;
    }
    TranscriptLine line(out_, depth_, std::string(kind) + ".reply");
    line.maybeText("text", reply).word("release", release != nullptr ? "set" : "null");
    if (text != nullptr && release != nullptr) {
        line.word("released", release(text) ? "true" : "false");
    }
    return reply;
}

const char16_t* Replay::coreReceives(const MessageRecord* record, ReleaseFunction* outRelease) {
    Replay& self = *current;
    TranscriptLine(self.out_, self.depth_, "core.receive").record(*record);
    const std::u16string command = textOrEmpty(record->command);
    const char16_t* reply = nullptr;
    if (command == u"RegisterProperties" || command == u"PropertyChange") {
        reply = copyOf(u"true");
    } else if (!command.starts_with(u"Null")) {
        reply = copyOf(textOrEmpty(record->data));
    }
    TranscriptLine(self.out_, self.depth_, "core.reply").text("text", reply);
    if (reply == nullptr) {
        *outRelease = nullptr;
        return nullptr;
    }
    ++self.coreOutstanding_;
    *outRelease = &Replay::coreReleases;
    return reply;
}

bool Replay::coreReleases(const char16_t* text) {
    Replay& self = *current;
    if (text == nullptr) {
        ++self.coreStrayReleases_;
        return false;
    }
    --self.coreOutstanding_;
    std::free(const_cast<char16_t*>(text));
    return true;
}

void Replay::logLine(int32_t level, const char16_t* module, const char16_t* component,
                     const char16_t* reserved1, const char16_t* reserved2, const char16_t* format,
                     ...) {
    Replay& self = *current;
    va_list values;
    va_start(values, format);
    char16_t* text = qorFormatLogText16(format, values);
    va_end(values);
    TranscriptLine(self.out_, self.depth_, "log")
        .number("level", level)
        .text("module", module)
        .text("component", component)
        .text("reserved1", reserved1)
        .text("reserved2", reserved2)
        .text("format", format)
        .text("text", text);
    qorFreeText(text);
}

void Replay::appletInitializes(void* user, const char* library, const char16_t* arguments,
                               const HostContext* context) {
    Replay& self = *static_cast<Replay*>(user);
    TranscriptLine(self.out_, self.depth_, "applet.initialize")
        .word("library", stem(library))
        .word("sendMessage", context->sendMessage == self.qor_.processMessageFunction()
                                 ? "qor.processMessage"
                                 : "other")
        .word("logMessage", context->logMessage == &Replay::logLine ? "host" : "other")
        .number("reserved",
                static_cast<int64_t>(context->reserved0 | context->reserved3 | context->reserved4))
        .text("arguments", arguments);
    self.appletSend_ = context->sendMessage;
}

const char16_t* Replay::appletReceives(void* user, const char* library,
                                       const MessageRecord* record) {
    Replay& self = *static_cast<Replay*>(user);
    TranscriptLine(self.out_, self.depth_, "applet.receive")
        .word("library", stem(library))
        .record(*record);
    const std::u16string command = textOrEmpty(record->command);
    std::optional<std::u16string> reply;
    if (command == u"HandlePropertyChangeFromBL") {
        reply = u"true";
    } else if (command.starts_with(u"Relay:")) {
        host::OutgoingMessage message;
        message.command = command.substr(6);
        message.sourceID = textOrEmpty(record->targetID);
        message.sourceVersion = textOrEmpty(record->targetVersion);
        message.sourceInstanceID = textOrEmpty(record->targetInstanceID);
        message.flagC = record->flagC;
        message.data = textOrEmpty(record->data);
        ++self.depth_;
        reply = self.call(self.appletSend_, "applet.send", message);
        --self.depth_;
    } else {
        reply = textOrEmpty(record->data);
    }
    TranscriptLine(self.out_, self.depth_, "applet.reply").maybeText("text", reply);
    if (!reply) {
        return nullptr;
    }
    self.appletReply_ = *reply;
    return self.appletReply_.c_str();
}

void Replay::appletFinalizes(void* user, const char* library, const char16_t* argument) {
    Replay& self = *static_cast<Replay*>(user);
    TranscriptLine(self.out_, self.depth_, "applet.finalize")
        .word("library", stem(library))
        .text("argument", argument);
}

}  // namespace qor::differential
