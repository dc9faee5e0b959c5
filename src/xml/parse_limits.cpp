#include "xml/parse_limits.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

#include "platform/utf16.h"

namespace qor::xml {

namespace {

using View = std::u16string_view;
constexpr std::size_t kNone = View::npos;

bool isSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

std::string longerThan(const char* what, std::size_t limit) {
    return std::string(what) + " longer than " + std::to_string(limit) + " UTF-16 units";
}

// One pass over the markup as XML's grammar splits it: start tags are taken apart into names and
// quoted values far enough to count their attributes and namespace declarations; comments, CDATA
// sections, processing instructions and declarations are skipped whole, their lengths checked. A
// '<' always starts new markup, also where it could not stand in well-formed text, so the scan
// stays in step with a parser that reads on there.
class LimitScanner {
  public:
    LimitScanner(View text, std::vector<StartTagCounts>* counts) : text_(text), counts_(counts) {}

    std::optional<ParseFailure> scan() {
        if (text_.size() > kMaxTextUnits) {
            return ParseFailure{0, longerThan("the text is", kMaxTextUnits)};
        }
        if (const std::size_t lone = platform::findUnpairedSurrogate(text_); lone != kNone) {
            char unit[8];
            std::snprintf(unit, sizeof unit, "%04X", static_cast<unsigned>(text_[lone]));
            return failureAt(lone, std::string("an unpaired surrogate (U+") + unit + ")");
        }
        while (position_ < text_.size()) {
            const std::size_t open = text_.find(u'<', position_);
            const std::size_t runEnd = open == kNone ? text_.size() : open;
            if (runEnd - position_ > kMaxValueUnits) {
                return failureAt(position_, longerThan("a text", kMaxValueUnits));
            }
            if (open == kNone) {
                break;
            }
            position_ = open + 1;
            if (!markup()) {
                return failureAt(refusedAt_, reason_);
            }
        }
        return std::nullopt;
    }

  private:
    // The markup after a '<'. False when it breaks a bound.
    bool markup() {
        if (opens(u"!--")) {
            return section(u"!--", u"-->", "a comment");
        }
        if (opens(u"![CDATA[")) {
            return section(u"![CDATA[", u"]]>", "a CDATA section");
        }
        if (opens(u"?")) {
            return instruction();
        }
        if (opens(u"/")) {
            closeElement();
        } else if (opens(u"!DOCTYPE")) {
            // Messages never need one; refused before any parser could read an entity.
            return refuse(position_, "a document type declaration is not accepted");
        } else if (opens(u"!")) {
            skipToTagEnd();  // a declaration, which no parser accepts here
        } else {
            return startTag();
        }
        return true;
    }

    bool opens(View opener) const { return text_.compare(position_, opener.size(), opener) == 0; }

    // A section that opens here and runs to its terminator. One without a terminator is not
    // skipped: the text is malformed, and its markup is scanned as if the opener were not there.
    bool section(View opener, View end, const char* what) {
        const std::size_t inside = position_ + opener.size();
        const std::size_t found = text_.find(end, inside);
        if (found == kNone) {
            position_ = inside;
            return true;
        }
        if (found - inside > kMaxValueUnits) {
            return refuse(inside, longerThan(what, kMaxValueUnits));
        }
        position_ = found + end.size();
        return true;
    }

    // A processing instruction: its target is a name, and all of it a section.
    bool instruction() {
        const std::size_t target = position_ + 1;
        std::size_t end = target;
        while (end < text_.size() && end - target <= kMaxNameUnits && !isSpace(text_[end]) &&
               text_[end] != u'?') {
            ++end;
        }
        if (end - target > kMaxNameUnits) {
            return refuse(target, longerThan("a name", kMaxNameUnits));
        }
        return section(u"?", u"?>", "a processing instruction");
    }

    // Moves past the next '>', or up to the next '<'.
    void skipToTagEnd() {
        while (position_ < text_.size() && text_[position_] != u'<') {
            if (text_[position_++] == u'>') {
                return;
            }
        }
    }

    void closeElement() {
        if (!scope_.empty()) {
            namespacesInScope_ -= scope_.back();
            scope_.pop_back();
        }
        skipToTagEnd();
    }

    // The start tag at the current position, split into names, '=' and quoted values: every '='
    // outside a value is one attribute, named by the name before it (white space may stand
    // between them). False when a bound is exceeded.
    bool startTag() {
        if (scope_.size() + 1 > kMaxDepth) {
            return refuse(position_, "more than " + std::to_string(kMaxDepth) + " elements nested");
        }
        std::size_t attributes = 0;
        std::size_t declarations = 0;
        std::size_t nameStart = kNone;
        std::size_t nameEnd = kNone;
        while (position_ < text_.size()) {
            const char16_t c = text_[position_];
            if (c == u'<') {
                return true;  // malformed: the parser gives up on this tag
            }
            if (c == u'>') {
                endStartTag(attributes, declarations);
                return true;
            }
            if (c == u'=') {
                if (++attributes > kMaxAttributesPerElement) {
                    return refuse(position_, "more than " +
                                                 std::to_string(kMaxAttributesPerElement) +
                                                 " attributes on one element");
                }
                const std::size_t end = nameEnd != kNone ? nameEnd : position_;
                if (nameStart != kNone &&
                    declaresNamespace(text_.substr(nameStart, end - nameStart)) &&
                    namespacesInScope_ + ++declarations > kMaxNamespacesInScope) {
                    return refuse(position_, "more than " + std::to_string(kMaxNamespacesInScope) +
                                                 " namespace declarations in scope");
                }
                nameStart = kNone;
                nameEnd = kNone;
                ++position_;
                if (!skipValue()) {
                    return false;
                }
                continue;
            }
            if (isSpace(c) || c == u'/') {
                if (nameStart != kNone && nameEnd == kNone) {
                    nameEnd = position_;
                }
            } else if (nameStart == kNone || nameEnd != kNone) {
                nameStart = position_;
                nameEnd = kNone;
            } else if (position_ - nameStart >= kMaxNameUnits) {
                return refuse(nameStart, longerThan("a name", kMaxNameUnits));
            }
            ++position_;
        }
        return true;
    }

    // At the '>' of a start tag: an element that is not empty keeps its declarations in scope
    // until its end tag.
    void endStartTag(std::size_t attributes, std::size_t declarations) {
        const bool empty = text_[position_ - 1] == u'/';
        if (counts_ != nullptr) {
            counts_->push_back(StartTagCounts{attributes, namespacesInScope_ + declarations});
        }
        if (!empty) {
            scope_.push_back(declarations);
            namespacesInScope_ += declarations;
        }
        ++position_;
    }

    // After '=': optional white space, then a quoted value, which ends at its quote or at a '<'.
    bool skipValue() {
        while (position_ < text_.size() && isSpace(text_[position_])) {
            ++position_;
        }
        if (position_ >= text_.size() || (text_[position_] != u'"' && text_[position_] != u'\'')) {
            return true;
        }
        const char16_t quote = text_[position_++];
        const std::size_t start = position_;
        while (position_ < text_.size() && text_[position_] != u'<' && text_[position_] != quote) {
            ++position_;
        }
        if (position_ - start > kMaxValueUnits) {
            return refuse(start, longerThan("an attribute value", kMaxValueUnits));
        }
        if (position_ < text_.size() && text_[position_] == quote) {
            ++position_;
        }
        return true;
    }

    // "xmlns" or "xmlns:<prefix>", except "xmlns:xml": its only allowed value binds the prefix
    // that is always bound, and the parser keeps no declaration for it.
    static bool declaresNamespace(View name) {
        return name == u"xmlns" || (name.substr(0, 6) == u"xmlns:" && name != u"xmlns:xml");
    }

    bool refuse(std::size_t at, std::string reason) {
        refusedAt_ = at;
        reason_ = std::move(reason);
        return false;
    }

    ParseFailure failureAt(std::size_t at, std::string reason) const {
        const std::size_t end = std::min(at, text_.size());
        const auto lines = std::count(text_.begin(), text_.begin() + end, u'\n');
        return ParseFailure{static_cast<int32_t>(lines + 1), std::move(reason)};
    }

    View text_;
    std::vector<StartTagCounts>* counts_;
    std::size_t position_ = 0;
    // Namespace declarations of each open element, and their sum.
    std::vector<std::size_t> scope_;
    std::size_t namespacesInScope_ = 0;
    std::size_t refusedAt_ = 0;
    std::string reason_;
};

}  // namespace

std::optional<ParseFailure> checkParseLimits(std::u16string_view text,
                                             std::vector<StartTagCounts>* counts) {
    return LimitScanner(text, counts).scan();
}

}  // namespace qor::xml
