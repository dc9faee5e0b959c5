#include "trace.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "xml_file.h"

namespace qor::host {

namespace {

std::string addressee(const std::u16string& targetType, const std::u16string& targetID,
                      const std::u16string& targetVersion, const std::u16string& instance) {
    std::string text = narrow(targetType) + " " + narrow(targetID);
    if (!targetVersion.empty()) {
        text.append(" ").append(narrow(targetVersion));
    }
    if (!instance.empty()) {
        text.append(" [").append(narrow(instance)).append("]");
    }
    return text;
}

std::string quoted(const std::optional<std::u16string>& reply, std::size_t width) {
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

// QOR handles these itself; every other message addressed to an applet is handed to it.
bool isQorCommand(const std::u16string& command) {
    static const std::array<std::u16string_view, 7> kCommands = {
        u"LoadUIApplet",         u"UnloadUIApplet", u"LoadBindings",      u"PropertyChange",
        u"ListenPropertyChange", u"LocalizeData",   u"GetLocaleForApplet"};
    return std::find(kCommands.begin(), kCommands.end(), command) != kCommands.end();
}

// The value of attribute `name` in a payload's markup, or empty.
std::u16string attributeIn(const std::u16string& markup, const std::u16string& name) {
    const std::size_t at = markup.find(name + u"=");
    const std::size_t open = at == std::u16string::npos ? at : at + name.size() + 1;
    if (open == std::u16string::npos || open >= markup.size() ||
        (markup[open] != u'"' && markup[open] != u'\'')) {
        return u"";
    }
    const std::size_t close = markup.find(markup[open], open + 1);
    return close == std::u16string::npos ? u"" : markup.substr(open + 1, close - open - 1);
}

constexpr std::size_t kPayloadWidth = 72;
constexpr std::size_t kReplyWidth = 60;

}  // namespace

std::string Trace::summary(const std::u16string& data, std::size_t width) {
    std::string text;
    bool space = false;
    for (char c : narrow(data)) {
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

std::string Trace::payload(const std::u16string& data) const {
    return data.empty() ? "" : "  " + summary(data, options_.fullPayloads ? 0 : kPayloadWidth);
}

std::string Trace::replyText(const std::optional<std::u16string>& reply) const {
    return quoted(reply, options_.fullPayloads ? 0 : kReplyWidth);
}

void Trace::line(int depth, const std::string& text) {
    if (!options_.quiet) {
        out_ << std::string(static_cast<std::size_t>(2 + depth * 4), ' ') << text << '\n';
    }
}

void Trace::arrow(const std::string& from, const std::string& to, bool reply,
                  const std::string& label) {
    diagram_.push_back("    " + from + (reply ? "-->>" : "->>") + to + ": " + mermaidLabel(label));
}

// The participant's name in the diagram: the applet's identifier with anything but letters,
// digits and '_' replaced, declared at its first appearance.
std::string Trace::participant(const std::u16string& appletID) {
    std::string name = narrow(appletID);
    for (char& c : name) {
        if (std::isalnum(static_cast<unsigned char>(c)) == 0 && c != '_') {
            c = '_';
        }
    }
    name = "applet_" + name;
    const std::string declaration =
        "    participant " + name + " as " + mermaidLabel(narrow(appletID)) + "\n";
    if (std::find(applets_.begin(), applets_.end(), declaration) == applets_.end()) {
        applets_.push_back(declaration);
    }
    return name;
}

void Trace::hostSends(int sourceLine, const OutgoingMessage& message) {
    line(0, "line " + std::to_string(sourceLine) + "  Host -> QOR  " + narrow(message.command) +
                " to " +
                addressee(message.targetType, message.targetID, message.targetVersion,
                          message.targetInstanceID) +
                payload(message.data));
    arrow("Host", "QOR", false, narrow(message.command));
    pending_ = Pending{message, diagram_.size(), false};
}

void Trace::hostReceives(const std::optional<std::u16string>& reply) {
    line(0, "Host <- QOR  " + replyText(reply));
    if (pending_) {
        const OutgoingMessage& sent = pending_->message;
        if (sent.command == u"LoadUIApplet" && reply == u"true") {
            participant(attributeIn(sent.data, u"appletID"));
        } else if (sent.targetType == u"Applet" && !isQorCommand(sent.command) &&
                   !pending_->reachedCore && reply && *reply != u"<undefined/>") {
            // Handed to the applet: its call comes before whatever it did meanwhile.
            const std::string applet = participant(sent.targetID);
            diagram_.insert(diagram_.begin() + static_cast<std::ptrdiff_t>(pending_->arrowIndex),
                            "    QOR->>" + applet + ": " + mermaidLabel(narrow(sent.command)));
            arrow(applet, "QOR", true, quoted(reply, kReplyWidth));
        }
        pending_.reset();
    }
    arrow("QOR", "Host", true, quoted(reply, kReplyWidth));
}

void Trace::coreReceives(const ReceivedMessage& message) {
    if (pending_ && message.depth == 0 && message.command == pending_->message.command &&
        message.targetID == pending_->message.targetID) {
        pending_->reachedCore = true;
    }
    line(message.depth + 1, "QOR -> Core  " + narrow(message.command) + " to " +
                                addressee(message.targetType, message.targetID,
                                          message.targetVersion, message.targetInstanceID) +
                                payload(message.data));
    arrow("QOR", "Core", false, narrow(message.command));
}

void Trace::coreReplies(const ReceivedMessage& message,
                        const std::optional<std::u16string>& reply) {
    line(message.depth + 1, "QOR <- Core  " + replyText(reply));
    arrow("Core", "QOR", true, quoted(reply, kReplyWidth));
}

void Trace::coreSends(const OutgoingMessage& message, int depth) {
    line(depth + 1, "Core -> QOR  " + narrow(message.command) + " to " +
                        addressee(message.targetType, message.targetID, message.targetVersion,
                                  message.targetInstanceID) +
                        payload(message.data));
    arrow("Core", "QOR", false, narrow(message.command));
    coreSendArrows_.push_back(diagram_.size());
}

void Trace::coreIsAnswered(const OutgoingMessage& message,
                           const std::optional<std::u16string>& reply, int depth) {
    const std::size_t at = coreSendArrows_.empty() ? diagram_.size() : coreSendArrows_.back();
    if (!coreSendArrows_.empty()) {
        coreSendArrows_.pop_back();
    }
    if (message.command == u"ListenPropertyChange" && reply == u"true") {
        // "true": a property binding matched, and QOR told the applet in its own terms.
        diagram_.insert(
            diagram_.begin() + static_cast<std::ptrdiff_t>(at),
            "    QOR->>" + participant(message.targetID) + ": HandlePropertyChangeFromBL");
    }
    line(depth + 1, "Core <- QOR  " + replyText(reply));
    arrow("QOR", "Core", true, quoted(reply, kReplyWidth));
}

void Trace::log(const LogEntry& entry) {
    if (entry.level < options_.logLevel) {
        return;
    }
    line(entry.depth + 1, "log " + std::to_string(entry.level) + " " + narrow(entry.module) + "/" +
                              narrow(entry.component) + ": " + narrow(entry.text));
}

void Trace::note(const std::string& text) {
    line(0, text);
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
