#include "trace.h"

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

std::string quoted(const std::optional<std::u16string>& reply) {
    return reply ? std::string("\"").append(Trace::summary(*reply, 60)).append("\"")
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
    if (text.size() > width) {
        text.resize(width - 3);
        text += "...";
    }
    return text;
}

void Trace::line(int depth, const std::string& text) {
    if (!quiet_) {
        out_ << std::string(static_cast<std::size_t>(2 + depth * 4), ' ') << text << '\n';
    }
}

void Trace::arrow(const char* from, const char* to, bool reply, const std::string& label) {
    diagram_.push_back(std::string("    ") + from + (reply ? "-->>" : "->>") + to + ": " +
                       mermaidLabel(label));
}

void Trace::hostSends(int sourceLine, const OutgoingMessage& message) {
    line(0, "line " + std::to_string(sourceLine) + "  Host -> QOR  " + narrow(message.command) +
                " to " +
                addressee(message.targetType, message.targetID, message.targetVersion,
                          message.targetInstanceID) +
                (message.data.empty() ? "" : "  " + summary(message.data)));
    arrow("Host", "QOR", false, narrow(message.command));
}

void Trace::hostReceives(const std::optional<std::u16string>& reply) {
    line(0, "Host <- QOR  " + quoted(reply));
    arrow("QOR", "Host", true, quoted(reply));
}

void Trace::coreReceives(const ReceivedMessage& message) {
    line(message.depth + 1, "QOR -> Core  " + narrow(message.command) + " to " +
                                addressee(message.targetType, message.targetID,
                                          message.targetVersion, message.targetInstanceID) +
                                (message.data.empty() ? "" : "  " + summary(message.data)));
    arrow("QOR", "Core", false, narrow(message.command));
}

void Trace::coreReplies(const ReceivedMessage& message,
                        const std::optional<std::u16string>& reply) {
    line(message.depth + 1, "QOR <- Core  " + quoted(reply));
    arrow("Core", "QOR", true, quoted(reply));
}

void Trace::coreSends(const OutgoingMessage& message, int depth) {
    line(depth + 1, "Core -> QOR  " + narrow(message.command) + " to " +
                        addressee(message.targetType, message.targetID, message.targetVersion,
                                  message.targetInstanceID) +
                        (message.data.empty() ? "" : "  " + summary(message.data)));
    arrow("Core", "QOR", false, narrow(message.command));
}

void Trace::log(const LogEntry& entry) {
    if (entry.level < logLevel_) {
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
    for (const std::string& step : diagram_) {
        text += step + "\n";
    }
    return text;
}

}  // namespace qor::host
