#include "transcript.h"

#include <cstdio>
#include <iomanip>
#include <sstream>

namespace qor::differential {

namespace {

void appendUtf8(std::string& out, uint32_t point) {
    if (point < 0x80) {
        out += static_cast<char>(point);
    } else if (point < 0x800) {
        out += static_cast<char>(0xC0 | (point >> 6));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        out += static_cast<char>(0xE0 | (point >> 12));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (point >> 18));
        out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    }
}

void appendHex(std::string& out, uint32_t unit) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "\\u{%X}", static_cast<unsigned>(unit));
    out += hex;
}

uint64_t fnv1a(std::u16string_view text) {
    uint64_t hash = 14695981039346656037ull;
    for (const char16_t unit : text) {
        hash = (hash ^ (unit & 0xFFu)) * 1099511628211ull;
        hash = (hash ^ (unit >> 8u)) * 1099511628211ull;
    }
    return hash;
}

}  // namespace

TranscriptLine::TranscriptLine(std::ostream& out, int depth, std::string_view kind) : out_(out) {
    out_ << std::string(static_cast<std::size_t>(depth) * 2, ' ') << kind;
}

TranscriptLine::~TranscriptLine() {
    out_ << '\n';
}

std::string TranscriptLine::quoted(std::u16string_view value) {
    std::string out = "\"";
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char16_t unit = value[i];
        switch (unit) {
            case u'"':
                out += "\\\"";
                continue;
            case u'\\':
                out += "\\\\";
                continue;
            case u'\n':
                out += "\\n";
                continue;
            case u'\r':
                out += "\\r";
                continue;
            case u'\t':
                out += "\\t";
                continue;
            default:
                break;
        }
        if (unit < 0x20 || unit == 0x7F) {
            appendHex(out, unit);
        } else if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < value.size() &&
                   value[i + 1] >= 0xDC00 && value[i + 1] <= 0xDFFF) {
            appendUtf8(out, 0x10000 + ((unit - 0xD800u) << 10) + (value[i + 1] - 0xDC00u));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            appendHex(out, unit);
        } else {
            appendUtf8(out, unit);
        }
    }
    return out + "\"";
}

TranscriptLine& TranscriptLine::text(std::string_view key, std::u16string_view value) {
    out_ << ' ' << key << '=';
    if (value.size() <= kWholeTextLimit) {
        out_ << quoted(value);
    } else {
        std::ostringstream summary;
        summary << '@' << value.size() << ':' << std::hex << std::setw(16) << std::setfill('0')
                << fnv1a(value) << ':';
        out_ << summary.str() << quoted(value.substr(0, 200));
    }
    return *this;
}

TranscriptLine& TranscriptLine::text(std::string_view key, const char16_t* value) {
    if (value == nullptr) {
        return word(key, "null");
    }
    return text(key, std::u16string_view(value));
}

TranscriptLine& TranscriptLine::maybeText(std::string_view key,
                                          const std::optional<std::u16string>& value) {
    if (!value) {
        return word(key, "null");
    }
    return text(key, std::u16string_view(*value));
}

TranscriptLine& TranscriptLine::number(std::string_view key, int64_t value) {
    out_ << ' ' << key << '=' << value;
    return *this;
}

TranscriptLine& TranscriptLine::word(std::string_view key, std::string_view value) {
    out_ << ' ' << key << '=' << value;
    return *this;
}

TranscriptLine& TranscriptLine::record(const MessageRecord& r) {
    number("version", r.version);
    text("targetType", r.targetType);
    text("targetID", r.targetID);
    text("targetVersion", r.targetVersion);
    text("targetInstanceID", r.targetInstanceID);
    text("sourceID", r.sourceID);
    text("sourceVersion", r.sourceVersion);
    text("sourceInstanceID", r.sourceInstanceID);
    text("command", r.command);
    number("flagA", r.flagA);
    number("flagB", r.flagB);
    number("flagC", r.flagC);
    number("reserved", r.reserved);
    return text("data", r.data);
}

}  // namespace qor::differential
