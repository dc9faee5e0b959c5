#include "corpus.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "platform/utf8.h"

namespace qor::differential {

namespace {

std::string narrow(std::u16string_view text) {
    return platform::toUtf8(text);
}

bool isSpace(char16_t unit) {
    return unit == u' ' || unit == u'\t';
}

// Markup-escapes a value placed in an attribute or element of a payload the reader composes.
std::u16string escaped(std::u16string_view text) {
    std::u16string out;
    for (const char16_t unit : text) {
        switch (unit) {
            case u'&':
                out += u"&amp;";
                break;
            case u'<':
                out += u"&lt;";
                break;
            case u'>':
                out += u"&gt;";
                break;
            case u'"':
                out += u"&quot;";
                break;
            default:
                out += unit;
        }
    }
    return out;
}

// Expands a value: escapes, ${NAME}, \repeat{N}{TEXT} with \i, \file{PATH}.
class Expander {
  public:
    Expander(const std::map<std::string, std::u16string>& variables,
             std::filesystem::path directory, std::string location)
        : variables_(variables), directory_(std::move(directory)), location_(std::move(location)) {}

    std::u16string expand(std::u16string_view raw, std::optional<std::size_t> index = {}) const {
        std::u16string out;
        std::size_t at = 0;
        while (at < raw.size()) {
            const char16_t unit = raw[at];
            if (unit == u'$' && at + 1 < raw.size() && raw[at + 1] == u'{') {
                const std::size_t end = raw.find(u'}', at);
                if (end == std::u16string_view::npos) {
                    fail("\"${\" without \"}\"");
                }
                const std::string name = narrow(raw.substr(at + 2, end - at - 2));
                const auto found = variables_.find(name);
                if (found == variables_.end()) {
                    fail("unknown variable ${" + name + "}");
                }
                out += found->second;
                at = end + 1;
            } else if (unit == u'\\') {
                at = escape(raw, at + 1, index, out);
            } else {
                out += unit;
                ++at;
            }
        }
        return out;
    }

    [[noreturn]] void fail(const std::string& what) const {
        throw CorpusError(location_ + ": " + what);
    }

  private:
    // The escape after a backslash at `at`; returns where the text goes on.
    std::size_t escape(std::u16string_view raw, std::size_t at, std::optional<std::size_t> index,
                       std::u16string& out) const {
        if (at >= raw.size()) {
            fail("a backslash ends the value");
        }
        if (raw.substr(at).starts_with(u"u{")) {
            const auto [hex, next] = group(raw, at + 1);
            const unsigned long value = number(hex, 16);
            if (value > 0x10FFFF || value == 0) {
                fail("\\u{" + narrow(hex) + "} is no code unit or point");
            }
            if (value > 0xFFFF) {
                out += static_cast<char16_t>(0xD800 + ((value - 0x10000) >> 10));
                out += static_cast<char16_t>(0xDC00 + ((value - 0x10000) & 0x3FF));
            } else {
                out += static_cast<char16_t>(value);
            }
            return next;
        }
        if (raw.substr(at).starts_with(u"repeat{")) {
            const auto [count, afterCount] = group(raw, at + 6);
            const auto [text, next] = group(raw, afterCount);
            const unsigned long times = number(expand(count, index), 10);
            if (times > 10'000'000) {
                fail("\\repeat takes at most 10,000,000 repetitions");
            }
            if (text.find(u"\\i") == std::u16string_view::npos) {
                const std::u16string once = expand(text, index);
                out.reserve(out.size() + once.size() * times);
                for (unsigned long i = 0; i < times; ++i) {
                    out += once;
                }
            } else {
                for (unsigned long i = 0; i < times; ++i) {
                    out += expand(text, i);
                }
            }
            return next;
        }
        if (raw.substr(at).starts_with(u"file{")) {
            const auto [name, next] = group(raw, at + 4);
            std::filesystem::path file(narrow(expand(name, index)));
            if (file.is_relative()) {
                file = directory_ / file;
            }
            std::ifstream in(file, std::ios::binary);
            std::ostringstream bytes;
            bytes << in.rdbuf();
            if (!in) {
                fail("cannot read " + file.string());
            }
            out += platform::fromUtf8(bytes.str());
            return next;
        }
        const char16_t unit = raw[at];
        switch (unit) {
            case u'\\':
            case u'"':
            case u'{':
            case u'}':
            case u'|':
                out += unit;
                return at + 1;
            case u'n':
                out += u'\n';
                return at + 1;
            case u'r':
                out += u'\r';
                return at + 1;
            case u't':
                out += u'\t';
                return at + 1;
            case u'i':
                if (!index) {
                    fail("\\i outside \\repeat");
                }
                out += platform::fromUtf8(std::to_string(*index));
                return at + 1;
            default:
                break;
        }
        fail(std::string("unknown escape \\") + narrow(raw.substr(at, 1)));
    }

    // The text between the brace at `at` and its partner, and the position after the partner.
    std::pair<std::u16string_view, std::size_t> group(std::u16string_view raw,
                                                      std::size_t at) const {
        if (at >= raw.size() || raw[at] != u'{') {
            fail("\"{\" expected");
        }
        int depth = 0;
        for (std::size_t i = at; i < raw.size(); ++i) {
            if (raw[i] == u'\\') {
                ++i;
            } else if (raw[i] == u'{') {
                ++depth;
            } else if (raw[i] == u'}' && --depth == 0) {
                return {raw.substr(at + 1, i - at - 1), i + 1};
            }
        }
        fail("\"{\" without \"}\"");
    }

    unsigned long number(std::u16string_view digits, int base) const {
        const std::string text = narrow(digits);
        std::size_t used = 0;
        unsigned long value = 0;
        try {
            value = std::stoul(text, &used, base);
        } catch (const std::exception&) {
            used = 0;
        }
        if (text.empty() || used != text.size()) {
            fail("\"" + text + "\" is no number");
        }
        return value;
    }

    const std::map<std::string, std::u16string>& variables_;
    std::filesystem::path directory_;
    std::string location_;
};

// A step line cut into words: whitespace separates them except inside quotes and braces.
std::vector<std::u16string> words(std::u16string_view line, const Expander& expander) {
    std::vector<std::u16string> found;
    std::size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && isSpace(line[at])) {
            ++at;
        }
        if (at == line.size()) {
            break;
        }
        const std::size_t start = at;
        bool quoted = false;
        int depth = 0;
        for (; at < line.size(); ++at) {
            const char16_t unit = line[at];
            if (unit == u'\\') {
                ++at;
            } else if (unit == u'"') {
                quoted = !quoted;
            } else if (!quoted && unit == u'{') {
                ++depth;
            } else if (!quoted && unit == u'}') {
                --depth;
            } else if (!quoted && depth == 0 && isSpace(unit)) {
                break;
            }
        }
        if (quoted || depth != 0) {
            expander.fail("unbalanced quotes or braces");
        }
        found.emplace_back(line.substr(start, std::min(at, line.size()) - start));
    }
    return found;
}

// A word's value: quotes taken off, then expanded.
std::u16string value(std::u16string_view word, const Expander& expander) {
    if (word.size() >= 2 && word.front() == u'"' && word.back() == u'"') {
        word = word.substr(1, word.size() - 2);
    }
    return expander.expand(word);
}

bool setField(host::OutgoingMessage& message, const std::string& key, std::u16string text,
              const Expander& expander) {
    const auto flag = [&](uint8_t& field) {
        const std::string digits = narrow(text);
        if (digits.empty() || digits.size() > 3 ||
            digits.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(digits) > 255) {
            expander.fail(key + " takes a number from 0 to 255");
        }
        field = static_cast<uint8_t>(std::stoi(digits));
    };
    if (key == "targetType") {
        message.targetType = std::move(text);
    } else if (key == "targetID") {
        message.targetID = std::move(text);
    } else if (key == "targetVersion") {
        message.targetVersion = std::move(text);
    } else if (key == "targetInstanceID") {
        message.targetInstanceID = std::move(text);
    } else if (key == "sourceID") {
        message.sourceID = std::move(text);
    } else if (key == "sourceVersion") {
        message.sourceVersion = std::move(text);
    } else if (key == "sourceInstanceID") {
        message.sourceInstanceID = std::move(text);
    } else if (key == "command") {
        message.command = std::move(text);
    } else if (key == "data") {
        message.data = std::move(text);
    } else if (key == "flagA") {
        flag(message.flagA);
    } else if (key == "flagB") {
        flag(message.flagB);
    } else if (key == "flagC") {
        flag(message.flagC);
    } else if (key == "version") {
        try {
            message.version = std::stoi(narrow(text));
        } catch (const std::exception&) {
            expander.fail("version takes a number");
        }
    } else {
        return false;
    }
    return true;
}

// A step being read: its data block lines go between prefix and suffix.
struct PendingStep {
    CorpusStep step;
    std::u16string prefix, suffix;
    std::vector<std::u16string> block;
    bool takesBlock = true;
    bool dataGiven = false;
};

class Reader {
  public:
    Reader(std::string path, const std::map<std::string, std::u16string>& variables)
        : path_(std::move(path)),
          variables_(variables),
          directory_(std::filesystem::path(path_).parent_path()) {}

    std::vector<CorpusCase> read() {
        std::ifstream in(path_, std::ios::binary);
        if (!in) {
            throw CorpusError(path_ + ": cannot be read");
        }
        std::string line;
        while (std::getline(in, line)) {
            ++lineNumber_;
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            readLine(platform::fromUtf8(line));
        }
        finishStep();
        return std::move(cases_);
    }

  private:
    std::string location() const {
        return std::filesystem::path(path_).filename().string() + ":" + std::to_string(lineNumber_);
    }

    void readLine(std::u16string_view line) {
        const Expander expander(variables_, directory_, location());
        const std::size_t first = line.find_first_not_of(u" \t");
        if (first == std::u16string_view::npos || line[first] == u'#') {
            return;
        }
        line = line.substr(first);
        if (line[0] == u'|') {
            if (!pending_ || !pending_->takesBlock || pending_->dataGiven) {
                expander.fail("a data line belongs to a send, bindings, event or listen step");
            }
            std::u16string_view text = line.substr(1);
            if (!text.empty() && text[0] == u' ') {
                text = text.substr(1);
            }
            pending_->block.push_back(expander.expand(text));
            return;
        }
        finishStep();
        if (line == u"case" || line.starts_with(u"case ") || line.starts_with(u"case\t")) {
            CorpusCase next;
            const std::u16string_view rest = line.substr(4);
            next.name = narrow(rest.substr(std::min(rest.find_first_not_of(u" \t"), rest.size())));
            next.location = location();
            if (next.name.empty()) {
                expander.fail("a case needs a name");
            }
            cases_.push_back(std::move(next));
            return;
        }
        const std::vector<std::u16string> parts = words(line, expander);
        const std::string verb = narrow(parts[0]);
        if (cases_.empty()) {
            expander.fail("a step before the first case");
        }
        pending_.emplace();
        pending_->step.location = location();
        std::vector<std::u16string> positional;
        std::vector<std::pair<std::string, std::u16string>> fields;
        for (std::size_t i = 1; i < parts.size(); ++i) {
            const std::size_t equals = parts[i].find(u'=');
            const std::string key = equals == std::u16string::npos
                                        ? std::string()
                                        : narrow(std::u16string_view(parts[i]).substr(0, equals));
            if (!key.empty() && std::all_of(key.begin(), key.end(), [](char c) {
                    return std::isalpha(static_cast<unsigned char>(c));
                })) {
                fields.emplace_back(
                    key, value(std::u16string_view(parts[i]).substr(equals + 1), expander));
            } else {
                positional.push_back(value(parts[i], expander));
            }
        }
        compose(verb, positional, expander);
        for (auto& [key, text] : fields) {
            if (!setField(pending_->step.message, key, std::move(text), expander)) {
                expander.fail("unknown field \"" + key + "\"");
            }
            pending_->dataGiven = pending_->dataGiven || key == "data";
        }
    }

    // Fills the pending step from its verb and positional values.
    void compose(const std::string& verb, const std::vector<std::u16string>& values,
                 const Expander& expander) {
        const auto expect = [&](std::size_t count, const char* usage) {
            if (values.size() != count) {
                expander.fail(std::string("usage: ") + usage);
            }
        };
        host::OutgoingMessage& m = pending_->step.message;
        const auto arguments = [&](const std::u16string& extra) {
            return u"<applet><CommandLineArguments><appletID>" + escaped(values[0]) +
                   u"</appletID><appletVersion>" + escaped(values[1]) +
                   u"</appletVersion><instanceID>" + escaped(values[2]) + u"</instanceID>" + extra;
        };
        if (verb == "send" || verb == "applet-send") {
            expect(1, "send|applet-send COMMAND [field=value ...]");
            m.command = values[0];
            if (verb == "applet-send") {
                pending_->step.kind = CorpusStep::Kind::kAppletSend;
            }
        } else if (verb == "load") {
            expect(4, "load APPLET VERSION INSTANCE PATH");
            m.command = u"LoadUIApplet";
            m.data = u"<applet appletID=\"" + escaped(values[0]) + u"\" appletVersion=\"" +
                     escaped(values[1]) + u"\" instanceID=\"" + escaped(values[2]) +
                     u"\" appletPath=\"" + escaped(values[3]) + u"\"/>";
            pending_->takesBlock = false;
        } else if (verb == "unload") {
            expect(3, "unload APPLET VERSION INSTANCE");
            m.command = u"UnloadUIApplet";
            m.data = u"<applet appletID=\"" + escaped(values[0]) + u"\" appletVersion=\"" +
                     escaped(values[1]) + u"\" instanceID=\"" + escaped(values[2]) + u"\"/>";
            pending_->takesBlock = false;
        } else if (verb == "bindings") {
            expect(3, "bindings APPLET VERSION INSTANCE, the bindings document in data lines");
            m.command = u"LoadBindings";
            pending_->prefix = arguments(u"");
            pending_->suffix = u"</CommandLineArguments></applet>";
        } else if (verb == "event") {
            expect(5,
                   "event APPLET VERSION INSTANCE COMPONENT EVENT, more arguments in data lines");
            pending_->step.kind = CorpusStep::Kind::kAppletSend;
            m.command = u"PropertyChange";
            m.sourceID = values[0];
            m.sourceVersion = values[1];
            m.sourceInstanceID = values[2];
            pending_->prefix =
                arguments(u"<componentID>" + escaped(values[3]) + u"</componentID><event>" +
                          escaped(values[4]) + u"</event>");
            pending_->suffix = u"</CommandLineArguments></applet>";
        } else if (verb == "listen") {
            expect(4, "listen APPLET VERSION INSTANCE PROPERTY, data and context in data lines");
            m.command = u"ListenPropertyChange";
            m.targetType = u"Applet";
            m.targetID = values[0];
            m.targetVersion = values[1];
            m.targetInstanceID = values[2];
            pending_->prefix =
                u"<propertyChange><propertyID>" + escaped(values[3]) + u"</propertyID>";
            pending_->suffix = u"</propertyChange>";
        } else if (verb == "finalize") {
            expect(0, "finalize");
            pending_->step.kind = CorpusStep::Kind::kFinalize;
            pending_->takesBlock = false;
        } else {
            expander.fail("unknown step \"" + verb + "\"");
        }
    }

    void finishStep() {
        if (!pending_) {
            return;
        }
        PendingStep& p = *pending_;
        if (!p.dataGiven && (!p.prefix.empty() || !p.block.empty())) {
            std::u16string block;
            for (std::size_t i = 0; i < p.block.size(); ++i) {
                block += (i == 0 ? u"" : u"\n") + p.block[i];
            }
            p.step.message.data = p.prefix + block + p.suffix;
        }
        cases_.back().steps.push_back(std::move(p.step));
        pending_.reset();
    }

    std::string path_;
    const std::map<std::string, std::u16string>& variables_;
    std::filesystem::path directory_;
    int lineNumber_ = 0;
    std::optional<PendingStep> pending_;
    std::vector<CorpusCase> cases_;
};

}  // namespace

std::vector<CorpusCase> readCorpus(const std::string& path,
                                   const std::map<std::string, std::u16string>& variables) {
    return Reader(path, variables).read();
}

}  // namespace qor::differential
