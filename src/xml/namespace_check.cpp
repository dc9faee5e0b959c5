#include "xml/namespace_check.h"

#include <string>
#include <utility>
#include <vector>

#include "platform/utf8.h"

namespace qor::xml {

namespace {

constexpr std::u16string_view kXmlNamespace = u"http://www.w3.org/XML/1998/namespace";
constexpr std::u16string_view kXmlnsNamespace = u"http://www.w3.org/2000/xmlns/";

bool isSpace(char16_t unit) {
    return unit == u' ' || unit == u'\t' || unit == u'\r' || unit == u'\n';
}

// An attribute value with its character and entity references replaced.
std::u16string decoded(std::u16string_view value) {
    std::u16string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const std::size_t end = value[i] == u'&' ? value.find(u';', i) : std::u16string_view::npos;
        if (end == std::u16string_view::npos) {
            out += value[i];
            continue;
        }
        const std::u16string_view name = value.substr(i + 1, end - i - 1);
        if (name.starts_with(u"#")) {
            const bool hex = name.size() > 1 && name[1] == u'x';
            char32_t code = 0;
            for (char16_t digit : name.substr(hex ? 2 : 1)) {
                const int value16 = digit <= u'9' ? digit - u'0' : (digit | 0x20) - u'a' + 10;
                code = code * (hex ? 16 : 10) + static_cast<char32_t>(value16);
            }
            if (code >= 0x10000) {
                out += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
                out += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
            } else {
                out += static_cast<char16_t>(code);
            }
        } else {
            out += name == u"lt"     ? u'<'
                   : name == u"gt"   ? u'>'
                   : name == u"amp"  ? u'&'
                   : name == u"quot" ? u'"'
                                     : u'\'';
        }
        i = end;
    }
    return out;
}

std::u16string_view prefixPart(std::u16string_view name) {
    const std::size_t colon = name.find(u':');
    return colon == std::u16string_view::npos ? std::u16string_view() : name.substr(0, colon);
}

std::string utf8(std::u16string_view text) {
    return platform::toUtf8(text);
}

class Checker {
  public:
    explicit Checker(std::u16string_view text) : text_(text) {}

    std::optional<ParseFailure> run() {
        while (position_ < text_.size()) {
            const std::size_t open = text_.find(u'<', position_);
            if (open == std::u16string_view::npos) {
                break;
            }
            advanceTo(open);
            const std::u16string_view rest = text_.substr(open);
            if (rest.starts_with(u"<!--")) {
                skipPast(u"-->");
            } else if (rest.starts_with(u"<![CDATA[")) {
                skipPast(u"]]>");
            } else if (rest.starts_with(u"<?")) {
                skipPast(u"?>");
            } else if (rest.starts_with(u"<!")) {
                skipPast(u">");
            } else if (rest.starts_with(u"</")) {
                skipPast(u">");
                leave();
            } else if (std::optional<ParseFailure> failure = startTag()) {
                return failure;
            }
        }
        return std::nullopt;
    }

  private:
    void advanceTo(std::size_t position) {
        for (; position_ < position && position_ < text_.size(); ++position_) {
            line_ += text_[position_] == u'\n' ? 1 : 0;
        }
    }
    void skipPast(std::u16string_view end) {
        const std::size_t found = text_.find(end, position_);
        advanceTo(found == std::u16string_view::npos ? text_.size() : found + end.size());
    }
    void skipSpace() {
        while (position_ < text_.size() && isSpace(text_[position_])) {
            advanceTo(position_ + 1);
        }
    }
    std::u16string_view name() {
        const std::size_t start = position_;
        while (position_ < text_.size() && !isSpace(text_[position_]) && text_[position_] != u'=' &&
               text_[position_] != u'>' && text_[position_] != u'/') {
            ++position_;
        }
        return text_.substr(start, position_ - start);
    }
    void leave() {
        if (marks_.empty()) {
            return;
        }
        scope_.resize(marks_.back());
        marks_.pop_back();
    }
    bool bound(std::u16string_view prefix) const {
        if (prefix == u"xml") {
            return true;
        }
        for (auto it = scope_.rbegin(); it != scope_.rend(); ++it) {
            if (it->first == prefix) {
                return true;
            }
        }
        return false;
    }
    ParseFailure failure(std::string message) const {
        return ParseFailure{line_, std::move(message)};
    }

  public:
    using Attributes = std::vector<std::pair<std::u16string_view, std::u16string_view>>;

    // The attributes of the start tag at the "<" the reading stands on, values as written; past
    // the tag's ">" afterwards. `empty` tells whether it ends with "/>".
    Attributes readStartTag(std::u16string_view& element, bool& empty) {
        advanceTo(position_ + 1);
        element = name();
        Attributes attributes;
        empty = false;
        while (true) {
            skipSpace();
            if (position_ >= text_.size() || text_[position_] == u'>') {
                break;
            }
            if (text_[position_] == u'/') {
                empty = true;
                advanceTo(position_ + 1);
                continue;
            }
            const std::u16string_view attribute = name();
            skipSpace();
            advanceTo(position_ + 1);  // '='
            skipSpace();
            const char16_t quote = position_ < text_.size() ? text_[position_] : u'"';
            const std::size_t start = position_ + 1;
            const std::size_t end = text_.find(quote, start);
            const std::size_t stop = end == std::u16string_view::npos ? text_.size() : end;
            attributes.emplace_back(attribute, text_.substr(start, stop - start));
            advanceTo(stop + 1);
        }
        advanceTo(position_ + 1);  // '>'
        return attributes;
    }

  private:
    // A start tag from its "<": its declarations enter the scope, then its names are checked.
    std::optional<ParseFailure> startTag() {
        std::u16string_view element;
        bool empty = false;
        const Attributes attributes = readStartTag(element, empty);
        marks_.push_back(scope_.size());
        for (const auto& [attribute, value] : attributes) {
            if (attribute == u"xmlns" || prefixPart(attribute) == u"xmlns") {
                if (std::optional<ParseFailure> refused = declare(attribute, decoded(value))) {
                    return refused;
                }
            }
        }
        const std::u16string_view elementPrefix = prefixPart(element);
        if (!elementPrefix.empty() && !bound(elementPrefix)) {
            return failure("Namespace prefix " + utf8(elementPrefix) + " on " +
                           utf8(element.substr(elementPrefix.size() + 1)) + " is not defined");
        }
        for (const auto& [attribute, value] : attributes) {
            const std::u16string_view prefix = prefixPart(attribute);
            if (!prefix.empty() && prefix != u"xmlns" && !bound(prefix)) {
                return failure("Namespace prefix " + utf8(prefix) + " for " +
                               utf8(attribute.substr(prefix.size() + 1)) + " on " + utf8(element) +
                               " is not defined");
            }
        }
        if (empty) {
            leave();
        }
        return std::nullopt;
    }

    std::optional<ParseFailure> declare(std::u16string_view attribute, std::u16string uri) {
        if (attribute == u"xmlns") {
            if (uri == kXmlNamespace) {
                return failure("xml namespace URI cannot be the default namespace");
            }
            if (uri == kXmlnsNamespace) {
                return failure("reuse of the xmlns namespace name is forbidden");
            }
            scope_.emplace_back(std::u16string(), std::move(uri));
            return std::nullopt;
        }
        const std::u16string_view prefix = attribute.substr(6);
        if (prefix == u"xml") {
            if (uri != kXmlNamespace) {
                return failure("xml namespace prefix mapped to wrong URI");
            }
            return std::nullopt;
        }
        if (prefix == u"xmlns") {
            return failure("redefinition of the xmlns prefix is forbidden");
        }
        if (uri == kXmlNamespace) {
            return failure("reuse of the xml namespace name is forbidden");
        }
        if (uri == kXmlnsNamespace) {
            return failure("reuse of the xmlns namespace name is forbidden");
        }
        if (uri.empty()) {
            return failure("xmlns:" + utf8(prefix) + ": Empty XML namespace is not allowed");
        }
        scope_.emplace_back(std::u16string(prefix), std::move(uri));
        return std::nullopt;
    }

    std::u16string_view text_;
    std::size_t position_ = 0;
    int32_t line_ = 1;
    std::vector<std::pair<std::u16string, std::u16string>> scope_;  // prefix, namespace name
    std::vector<std::size_t> marks_;
};

}  // namespace

std::optional<ParseFailure> namespaceErrorIn(std::u16string_view text) {
    return Checker(text).run();
}

std::optional<std::u16string> defaultDeclarationIn(std::u16string_view markup) {
    const std::size_t open = markup.find(u'<');
    if (open == std::u16string_view::npos) {
        return std::nullopt;
    }
    Checker reader(markup.substr(open));
    std::u16string_view element;
    bool empty = false;
    for (const auto& [attribute, value] : reader.readStartTag(element, empty)) {
        if (attribute == u"xmlns") {
            return decoded(value);
        }
    }
    return std::nullopt;
}

}  // namespace qor::xml
