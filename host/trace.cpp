#include "trace.h"

#include <algorithm>
#include <cctype>

#include "xml_file.h"

namespace qor::host {

namespace {

std::string addressee(const std::string& targetType, const std::string& targetID,
                      const std::string& targetVersion) {
    std::string text = targetType + " " + targetID;
    if (!targetVersion.empty()) {
        text.append(" ").append(targetVersion);
    }
    return text;
}

// The value of attribute `name`, or the text of element `name`, in a payload's markup; empty when
// it has neither.
std::string valueIn(const std::string& markup, const std::string& name) {
    for (std::size_t at = markup.find(name); at != std::string::npos;
         at = markup.find(name, at + 1)) {
        const char before = at > 0 ? markup[at - 1] : '\0';
        const std::size_t after = at + name.size();
        if (before == '<' && after < markup.size() && markup[after] == '>') {
            const std::size_t end = markup.find('<', after);
            return end == std::string::npos ? "" : markup.substr(after + 1, end - after - 1);
        }
        if ((before == ' ' || before == '\t' || before == '\n') && after + 1 < markup.size() &&
            markup[after] == '=' && (markup[after + 1] == '"' || markup[after + 1] == '\'')) {
            const std::size_t end = markup.find(markup[after + 1], after + 2);
            return end == std::string::npos ? "" : markup.substr(after + 2, end - after - 2);
        }
    }
    return "";
}

// The instance a message is for: its target's, else its sender's, else the one its payload
// names (LoadUIApplet, LoadBindings, RegisterProperties, an applet's event).
std::string instanceOf(const std::string& targetInstanceID, const std::string& sourceInstanceID,
                       const std::string& data) {
    if (!targetInstanceID.empty()) {
        return targetInstanceID;
    }
    if (!sourceInstanceID.empty()) {
        return sourceInstanceID;
    }
    for (const char* name : {"instanceID", "targetInstanceID", "appletInstanceID"}) {
        if (std::string instance = valueIn(data, name); !instance.empty()) {
            return instance;
        }
    }
    return "";
}

std::string withInstance(const std::string& text, const std::string& instance) {
    return instance.empty() ? text : text + " [" + instance + "]";
}

std::string quoted(const std::optional<std::string>& reply, std::size_t width) {
    return reply ? std::string("\"").append(Trace::summary(*reply, width)).append("\"")
                 : std::string("null");
}

// Mermaid labels may not hold some characters.
std::string mermaidLabel(std::string text) {
    for (char& c : text) {
        if (c == ';' || c == '#' || c == '\n') {
            c = ' ';
        }
    }
    return text;
}

// "slider 1.0": an applet as the text names it.
std::string appletShown(const QorEvent& event) {
    const std::string version = event["appletVersion"];
    return version.empty() ? event["applet"] : event["applet"] + " " + version;
}

constexpr std::size_t kPayloadWidth = 72;
constexpr std::size_t kReplyWidth = 60;

}  // namespace

std::string Trace::summary(const std::string& data, std::size_t width) {
    std::string text;
    bool space = false;
    for (char c : data) {
        if (c == '\n' || c == '\r' || c == '\t' || c == ' ') {
            space = !text.empty();
            continue;
        }
        if (space) {
            text.push_back(' ');
            space = false;
        }
        text.push_back(c);
    }
    if (width != 0 && text.size() > width) {
        text.resize(width - 3);
        text += "...";
    }
    return text;
}

std::string Trace::payload(const std::string& data) const {
    return data.empty() ? "" : "  " + summary(data, options_.fullPayloads ? 0 : kPayloadWidth);
}

std::string Trace::replyText(const std::optional<std::u16string>& reply) const {
    return quoted(reply ? std::optional<std::string>(narrow(*reply)) : std::nullopt,
                  options_.fullPayloads ? 0 : kReplyWidth);
}

void Trace::line(const std::string& text) {
    if (!options_.quiet) {
        out_ << std::string(2 + open_.size() * 4, ' ') << text << '\n';
    }
}

void Trace::arrow(const std::string& from, const std::string& to, bool reply,
                  const std::string& label) {
    diagram_.push_back("    " + from + (reply ? "-->>" : "->>") + to + ": " + mermaidLabel(label));
}

void Trace::open(const std::string& caller, const std::string& callee, const std::string& shownFrom,
                 const std::string& shownTo, const std::string& what, const std::string& instance,
                 const std::string& data, const std::string& step) {
    line((step.empty() ? "" : step + "  ") + shownFrom + " -> " + shownTo + "  " +
         withInstance(what, instance) + payload(data));
    const std::size_t command = what.find(" to ");
    arrow(caller, callee, false, withInstance(what.substr(0, command), instance));
    open_.push_back(Open{callee, shownFrom + " <- " + shownTo, caller, instance});
}

void Trace::close(const std::string& answer) {
    if (open_.empty()) {
        line(answer);
        return;
    }
    const Open call = open_.back();
    open_.pop_back();
    line(call.shown + "  " + answer);
    arrow(call.callee, call.caller, true, withInstance(answer, call.instance));
}

// The participant's name in the diagram: the applet's identifier with anything but letters,
// digits and '_' replaced, declared at its first appearance.
std::string Trace::participant(const std::string& appletID) {
    std::string name = appletID;
    for (char& c : name) {
        if (std::isalnum(static_cast<unsigned char>(c)) == 0 && c != '_') {
            c = '_';
        }
    }
    name = "applet_" + name;
    const std::string declaration =
        "    participant " + name + " as " + mermaidLabel(appletID) + "\n";
    if (std::find(applets_.begin(), applets_.end(), declaration) == applets_.end()) {
        applets_.push_back(declaration);
    }
    return name;
}

template <typename Message>
void Trace::openMessage(const std::string& from, const std::string& to, const Message& m,
                        const std::string& step) {
    open(from, to, from, to,
         narrow(m.command) + " to " +
             addressee(narrow(m.targetType), narrow(m.targetID), narrow(m.targetVersion)),
         instanceOf(narrow(m.targetInstanceID), narrow(m.sourceInstanceID), narrow(m.data)),
         narrow(m.data), step);
}

void Trace::hostSends(const std::string& step, const OutgoingMessage& message) {
    openMessage("Host", "QOR", message, step);
}

void Trace::hostReceives(const std::optional<std::u16string>& reply) {
    close(replyText(reply));
}

void Trace::coreReceives(const ReceivedMessage& message) {
    openMessage("QOR", "Core", message);
}

void Trace::coreReplies(const ReceivedMessage&, const std::optional<std::u16string>& reply) {
    close(replyText(reply));
}

void Trace::coreSends(const OutgoingMessage& message) {
    openMessage("Core", "QOR", message);
}

void Trace::coreIsAnswered(const OutgoingMessage&, const std::optional<std::u16string>& reply) {
    close(replyText(reply));
}

// What QOR's diagnostics tell of the applets: QOR's calls of them, and the messages they send QOR.
// What the host and Core see for themselves is shown from there.
void Trace::qor(const QorEvent& event) {
    if (event.category != "messages") {
        return;
    }
    const auto answerOf = [this](const QorEvent& e) {
        if (e.has("result")) {
            return e["result"];
        }
        return quoted(e.has("answer") ? std::optional<std::string>(e["answer"]) : std::nullopt,
                      options_.fullPayloads ? 0 : kReplyWidth);
    };
    if (event.kind == "enter") {
        const bool fromApplet = event["from"] == "applet";
        entered_.push_back(fromApplet);
        if (fromApplet) {
            open(participant(event["applet"]), "QOR", appletShown(event), "QOR",
                 event["command"] + " to " +
                     addressee(event["targetType"], event["targetID"], event["targetVersion"]),
                 instanceOf(event["targetInstanceID"], event["sourceInstanceID"], event["data"]),
                 event["data"]);
        }
    } else if (event.kind == "answer") {
        const bool fromApplet = !entered_.empty() && entered_.back();
        if (!entered_.empty()) {
            entered_.pop_back();
        }
        if (fromApplet) {
            close(answerOf(event));
        }
    } else if (event.kind == "call" && event["to"] == "applet") {
        const std::string function = event["function"];
        std::string what = function;
        std::string instance = event["instance"];
        std::string data = event["arguments"];
        if (function == "processMessage") {
            what = event["command"];
            instance =
                instanceOf(event["targetInstanceID"], event["sourceInstanceID"], event["data"]);
            data = event["data"];
        } else if (function == "finalize") {
            what = event.has("argument") ? "finalize(\"" + event["argument"] + "\")"
                                         : "finalize(null)";
        }
        open("QOR", participant(event["applet"]), "QOR", appletShown(event), what, instance, data);
    } else if (event.kind == "return" && event["to"] == "applet") {
        close(answerOf(event));
    }
}

void Trace::log(const LogEntry& entry) {
    if (entry.level < options_.logLevel) {
        return;
    }
    line("log " + std::to_string(entry.level) + " " + narrow(entry.module) + "/" +
         narrow(entry.component) + ": " + narrow(entry.text));
}

void Trace::note(const std::string& text) {
    line(text);
}

void Trace::failure(const std::string& text) {
    out_ << "  FAILED " << text << '\n';
}

std::string Trace::mermaid() const {
    std::string text =
        "sequenceDiagram\n    participant Host\n    participant QOR\n    participant Core\n";
    for (const std::string& applet : applets_) {
        text += applet;
    }
    for (const std::string& step : diagram_) {
        text += step + "\n";
    }
    return text;
}

}  // namespace qor::host
