#include "plugin/debug_output.h"

#include <cstdarg>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/debug_stream.h"
#include "platform/environment.h"
#include "platform/utf8.h"
#include "qor/host_support.h"
#include "xml/utility_log.h"

namespace qor {

unsigned debugCategories = 0;

namespace {

constexpr unsigned kAllCategories = static_cast<unsigned>(DebugCategory::kLoad) |
                                    static_cast<unsigned>(DebugCategory::kXml) |
                                    static_cast<unsigned>(DebugCategory::kMessages);

struct DebugState {
    DebugState() = default;
    DebugState(const DebugState&) = delete;
    DebugState& operator=(const DebugState&) = delete;
    // At library unload: nothing may reach the state once it is gone.
    ~DebugState() {
        debugCategories = 0;
        xml::utilityDiagnostics = nullptr;
    }

    std::optional<platform::DebugStream> stream;
    // Who is being called out to, innermost last: a message that enters processMessage meanwhile
    // comes from there. Empty: from the host.
    std::vector<std::string> callees;
    int depth = 0;  // messages under way in processMessage
};

DebugState& state() {
    static DebugState debug;
    return debug;
}

void write(const char* category, std::string_view text) noexcept {
    try {
        DebugState& debug = state();
        if (debug.stream) {
            debug.stream->writeLine(std::string("QOR").append(category).append(": ").append(text));
        }
    } catch (...) {
        // Out of memory: the line is lost.
    }
}

// A text on one line: backslash, quote and control characters escaped.
std::string escaped(std::u16string_view text) {
    std::string out;
    for (const char c : platform::toUtf8(text)) {
        const auto unit = static_cast<unsigned char>(c);
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (unit < 0x20 || unit == 0x7F) {
                    static constexpr char kHex[] = "0123456789ABCDEF";
                    out += "\\x";
                    out.push_back(kHex[unit >> 4U]);
                    out.push_back(kHex[unit & 0xFU]);
                } else {
                    out.push_back(c);
                }
        }
    }
    return out;
}

std::string field(const char* name, std::u16string_view value) {
    return std::string(" ").append(name).append("=\"").append(escaped(value)).append("\"");
}

std::string field(const char* name, const char16_t* value) {
    return value != nullptr ? field(name, std::u16string_view(value))
                            : std::string(" ").append(name).append("=null");
}

std::string recordFields(const MessageRecord& record) {
    return field("command", record.command) + field("targetType", record.targetType) +
           field("targetID", record.targetID) + field("targetVersion", record.targetVersion) +
           field("targetInstanceID", record.targetInstanceID) + field("sourceID", record.sourceID) +
           field("sourceVersion", record.sourceVersion) +
           field("sourceInstanceID", record.sourceInstanceID) + field("data", record.data);
}

std::string appletFields(std::u16string_view appletID, std::u16string_view appletVersion) {
    return field("applet", appletID) + field("appletVersion", appletVersion);
}

// "slider 1.0": an applet as the load lines name it.
std::string appletName(std::u16string_view appletID, std::u16string_view appletVersion) {
    std::string name = escaped(appletID);
    if (!appletVersion.empty()) {
        name.append(" ").append(escaped(appletVersion));
    }
    return name;
}

// The value of QOR_DEBUG as categories; each name it does not know is added to `unknown`.
unsigned parseCategories(const std::string& value, std::vector<std::string>& unknown) {
    unsigned categories = 0;
    std::size_t start = 0;
    while (start <= value.size()) {
        const std::size_t end = value.find_first_of(", ;", start);
        std::string name = value.substr(start, end == std::string::npos ? end : end - start);
        for (char& c : name) {
            c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        }
        if (name == "load") {
            categories |= static_cast<unsigned>(DebugCategory::kLoad);
        } else if (name == "xml") {
            categories |= static_cast<unsigned>(DebugCategory::kXml);
        } else if (name == "messages") {
            categories |= static_cast<unsigned>(DebugCategory::kMessages);
        } else if (name == "all" || name == "1") {
            categories |= kAllCategories;
        } else if (!name.empty() && name != "0") {
            unknown.push_back(name);
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return categories;
}

std::string categoryNames(unsigned categories) {
    std::string names;
    for (const auto& [category, name] :
         {std::pair{DebugCategory::kLoad, "load"}, std::pair{DebugCategory::kXml, "xml"},
          std::pair{DebugCategory::kMessages, "messages"}}) {
        if ((categories & static_cast<unsigned>(category)) != 0) {
            names.append(names.empty() ? "" : ", ").append(name);
        }
    }
    return names;
}

// Applies a log function's format (%s, %d, %x) to its values; "?" when memory runs out.
std::string formatted(const char16_t* format, va_list values) noexcept {
    try {
        const std::unique_ptr<char, void (*)(void*)> text(qorFormatLogText(format, values),
                                                          &qorFreeText);
        return text ? escaped(platform::fromUtf8(text.get())) : std::string("?");
    } catch (...) {
        return "?";  // a short string: no allocation
    }
}

void xmlReport(int32_t level, const char16_t* component, const char16_t* format, va_list values) {
    if (!debugEnabled(DebugCategory::kXml)) {
        return;
    }
    try {
        write(" xml", "report " + std::to_string(level) + " " +
                          escaped(component != nullptr ? component : u"") + ": " +
                          formatted(format, values));
    } catch (...) {
    }
}

}  // namespace

void configureDebugOutput() noexcept {
    try {
        DebugState& debug = state();
        const std::optional<std::string> value = platform::environmentVariable("QOR_DEBUG");
        std::vector<std::string> unknown;
        const unsigned categories = value ? parseCategories(*value, unknown) : 0;
        debugCategories = 0;
        xml::utilityDiagnostics = nullptr;
        debug.stream.reset();
        if (categories == 0 && unknown.empty()) {
            return;
        }
        std::string fileError;
        const std::optional<std::string> file = platform::environmentVariable("QOR_DEBUG_FILE");
        debug.stream = file && !file->empty() ? platform::DebugStream::appendingTo(*file, fileError)
                                              : platform::DebugStream::standardError();
        if (!fileError.empty()) {
            write("", "QOR_DEBUG_FILE: cannot write to " + *file + ": " + fileError +
                          "; writing to standard error");
        }
        for (const std::string& name : unknown) {
            write("", "QOR_DEBUG: unknown category \"" + name +
                          "\" ignored (the categories: load, xml, messages, all)");
        }
        if (categories == 0) {
            debug.stream.reset();
            return;
        }
        debugCategories = categories;
        xml::utilityDiagnostics =
            (categories & static_cast<unsigned>(DebugCategory::kXml)) != 0 ? &xmlReport : nullptr;
        write("", "diagnostics on: " + categoryNames(categories));
    } catch (...) {
        debugCategories = 0;
        xml::utilityDiagnostics = nullptr;
    }
}

void debugAppletManagerLine(int32_t level, const char16_t* format, ...) noexcept {
    if (!debugEnabled(DebugCategory::kLoad)) {
        return;
    }
    va_list values;
    va_start(values, format);
    const std::string text = formatted(format, values);
    va_end(values);
    try {
        write(" load", "log " + std::to_string(level) + " QORAppletManager: " + text);
    } catch (...) {
    }
}

void debugLibraryOpened(std::u16string_view appletID, std::u16string_view appletVersion,
                        std::u16string_view path, DebugExports exports) noexcept {
    if (!debugEnabled(DebugCategory::kLoad)) {
        return;
    }
    try {
        std::string own;
        for (const auto& [present, name] : {std::pair{exports.initialize, "initialize"},
                                            std::pair{exports.processMessage, "processMessage"},
                                            std::pair{exports.finalize, "finalize"}}) {
            if (present) {
                own.append(own.empty() ? "" : ", ").append(name);
            }
        }
        write(" load", appletName(appletID, appletVersion) + ": opened " + escaped(path) +
                           ", its own exports: " + (own.empty() ? "none" : own));
    } catch (...) {
    }
}

void debugLibraryNotOpened(std::u16string_view appletID, std::u16string_view appletVersion,
                           std::u16string_view path, std::string_view reason) noexcept {
    if (!debugEnabled(DebugCategory::kLoad)) {
        return;
    }
    try {
        write(" load", appletName(appletID, appletVersion) + ": cannot open \"" + escaped(path) +
                           "\": " + escaped(platform::fromUtf8(reason)));
    } catch (...) {
    }
}

void debugAppletNotRegistered(std::u16string_view command, std::u16string_view appletID,
                              std::u16string_view appletVersion) noexcept {
    if (!debugEnabled(DebugCategory::kLoad)) {
        return;
    }
    try {
        write(" load", escaped(command) + ": no applet \"" + escaped(appletID) + "\" version \"" +
                           escaped(appletVersion) + "\" is registered");
    } catch (...) {
    }
}

void debugMalformedMessage(const MessageRecord* record) noexcept {
    if (!debugEnabled(DebugCategory::kMessages)) {
        return;
    }
    try {
        const DebugState& debug = state();
        const std::string depth = "depth=" + std::to_string(debug.depth + 1);
        write(" messages", "enter " + depth +
                               (debug.callees.empty() ? " from=\"host\"" : debug.callees.back()) +
                               (record == nullptr ? " record=null" : recordFields(*record)));
        write(" messages", "answer " + depth +
                               field("command", record != nullptr ? record->command : nullptr) +
                               " answer=\"InvalidArguments\"");
    } catch (...) {
    }
}

DebugScope DebugScope::message(const MessageRecord& record) noexcept {
    DebugScope scope;
    if (!debugEnabled(DebugCategory::kMessages)) {
        return scope;
    }
    try {
        DebugState& debug = state();
        scope.fields_ = field("command", record.command);
        write(" messages", "enter depth=" + std::to_string(debug.depth + 1) +
                               (debug.callees.empty() ? " from=\"host\"" : debug.callees.back()) +
                               recordFields(record));
        ++debug.depth;
        scope.kind_ = Kind::kMessage;
    } catch (...) {
    }
    return scope;
}

// A call out: the callee goes on the stack for messages; `details` follow its fields on the
// call's line.
DebugScope DebugScope::callOut(std::string callee, std::string function, std::string details,
                               std::string loadLabel) noexcept {
    DebugScope scope;
    try {
        scope.fields_ = " to=" + callee + " function=\"" + function + "\"";
        if (debugEnabled(DebugCategory::kMessages)) {
            std::vector<std::string>& callees = state().callees;
            callees.push_back(" from=" + callee);
            scope.pushed_ = true;
            write(" messages", "call" + scope.fields_ + details);
        }
        if (debugEnabled(DebugCategory::kLoad)) {
            scope.loadLabel_ = std::move(loadLabel);
        }
        scope.kind_ = Kind::kCallOut;
    } catch (...) {
    }
    return scope;
}

DebugScope DebugScope::coreCall(const MessageRecord& record) noexcept {
    if (!debugEnabled(DebugCategory::kMessages)) {
        return DebugScope();
    }
    try {
        return callOut("\"Core\"", "sendMessage", recordFields(record), "");
    } catch (...) {
        return DebugScope();
    }
}

DebugScope DebugScope::appletCall(const MessageRecord& record) noexcept {
    if (!debugEnabled(DebugCategory::kMessages)) {
        return DebugScope();
    }
    try {
        return callOut("\"applet\"" + appletFields(record.targetID, record.targetVersion),
                       "processMessage", recordFields(record), "");
    } catch (...) {
        return DebugScope();
    }
}

DebugScope DebugScope::appletInitialize(std::u16string_view appletID,
                                        std::u16string_view appletVersion,
                                        std::u16string_view instance,
                                        std::u16string_view arguments) noexcept {
    try {
        return callOut(
            "\"applet\"" + appletFields(appletID, appletVersion), "initialize",
            field("instance", instance) + field("arguments", arguments),
            appletName(appletID, appletVersion) + ": initialize for instance " + escaped(instance));
    } catch (...) {
        return DebugScope();
    }
}

DebugScope DebugScope::appletFinalize(std::u16string_view appletID,
                                      std::u16string_view appletVersion,
                                      const char16_t* argument) noexcept {
    try {
        return callOut("\"applet\"" + appletFields(appletID, appletVersion), "finalize",
                       field("argument", argument),
                       appletName(appletID, appletVersion) + ": finalize(" +
                           (argument == nullptr ? "null" : "\"" + escaped(argument) + "\"") + ")");
    } catch (...) {
        return DebugScope();
    }
}

DebugScope::DebugScope(DebugScope&& other) noexcept
    : kind_(std::exchange(other.kind_, Kind::kNone)),
      pushed_(std::exchange(other.pushed_, false)),
      fields_(std::move(other.fields_)),
      loadLabel_(std::move(other.loadLabel_)) {}

DebugScope::~DebugScope() {
    end("answer", "null");
}

void DebugScope::answered(const char16_t* answer) noexcept {
    if (kind_ == Kind::kNone) {
        return;
    }
    try {
        end("answer", answer != nullptr ? "\"" + escaped(answer) + "\"" : "null");
    } catch (...) {
        end("answer", "?");
    }
}

void DebugScope::answered(int32_t result) noexcept {
    if (kind_ == Kind::kNone) {
        return;
    }
    try {
        end("result", std::to_string(result));
    } catch (...) {
        end("result", "?");
    }
}

void DebugScope::end(const char* name, const std::string& value) noexcept {
    const Kind kind = std::exchange(kind_, Kind::kNone);
    if (kind == Kind::kNone) {
        return;
    }
    try {
        DebugState& debug = state();
        if (kind == Kind::kMessage) {
            write(" messages", "answer depth=" + std::to_string(debug.depth) + fields_ + " " +
                                   name + "=" + value);
            --debug.depth;
            return;
        }
        if (pushed_) {
            if (!debug.callees.empty()) {
                debug.callees.pop_back();
            }
            write(" messages", "return" + fields_ + " " + name + "=" + value);
        }
        if (!loadLabel_.empty()) {
            write(" load", loadLabel_ + " returned " + value);
        }
    } catch (...) {
    }
}

}  // namespace qor
