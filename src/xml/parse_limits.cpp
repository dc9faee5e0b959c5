#include "xml/parse_limits.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace qor::xml {

namespace {

// An ASCII text in the scanner's unit type, made at compile time.
template <typename Char, std::size_t Size>
class Literal {
  public:
    constexpr explicit Literal(const char (&ascii)[Size]) {
        for (std::size_t i = 0; i + 1 < Size; ++i) {
            units_[i] = static_cast<Char>(ascii[i]);
        }
    }
    constexpr std::basic_string_view<Char> view() const { return {units_.data(), Size - 1}; }

  private:
    std::array<Char, Size - 1> units_{};
};

template <typename Char>
bool isSpace(Char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// One pass over the markup: start tags are taken apart far enough to count their attributes and
// namespace declarations; comments, CDATA sections, processing instructions and declarations are
// skipped whole. A '<' always starts new markup, also where it could not stand in well-formed
// text, so the scan stays in step with a parser that recovers there.
template <typename Char>
class LimitScanner {
  public:
    using View = std::basic_string_view<Char>;

    explicit LimitScanner(View text) : text_(text) {}

    std::optional<ParseFailure> scan() {
        while (position_ < text_.size()) {
            const std::size_t open = text_.find(Char('<'), position_);
            if (open == View::npos) {
                break;
            }
            position_ = open + 1;
            if (skipSection(kCommentOpen.view(), kCommentEnd.view()) ||
                skipSection(kCdataOpen.view(), kCdataEnd.view()) ||
                skipSection(kInstructionOpen.view(), kInstructionEnd.view())) {
                continue;
            }
            if (at(Char('/'))) {
                closeElement();
            } else if (at(Char('!'))) {
                skipToTagEnd();  // a declaration; the parser refuses it
            } else if (!startTag()) {
                return failure();
            }
        }
        return std::nullopt;
    }

  private:
    bool at(Char c) const { return position_ < text_.size() && text_[position_] == c; }

    // Skips a section that opens here and runs to its terminator. One without a terminator is not
    // skipped: the text is malformed, and its markup is scanned as if the opener were not there.
    bool skipSection(View opener, View end) {
        if (text_.compare(position_, opener.size(), opener) != 0) {
            return false;
        }
        const std::size_t found = text_.find(end, position_ + opener.size());
        if (found == View::npos) {
            position_ += opener.size();
            return true;
        }
        position_ = found + end.size();
        return true;
    }

    // Moves past the next '>', or up to the next '<'.
    void skipToTagEnd() {
        while (position_ < text_.size() && text_[position_] != Char('<')) {
            if (text_[position_++] == Char('>')) {
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

    // Counts the attributes of the start tag at the current position: every '=' outside a quoted
    // value is one. False when a bound is exceeded.
    bool startTag() {
        std::size_t attributes = 0;
        std::size_t declarations = 0;
        std::size_t nameStart = View::npos;
        while (position_ < text_.size()) {
            const Char c = text_[position_];
            if (c == Char('<')) {
                return true;  // malformed: the parser gives up on this tag
            }
            if (c == Char('>')) {
                if (position_ == 0 || text_[position_ - 1] != Char('/')) {
                    scope_.push_back(declarations);
                    namespacesInScope_ += declarations;
                }
                ++position_;
                return true;
            }
            if (c == Char('=')) {
                if (++attributes > kMaxAttributesPerElement) {
                    return refuse("more than " + std::to_string(kMaxAttributesPerElement) +
                                  " attributes on one element");
                }
                if (nameStart != View::npos && declaresNamespace(nameStart, position_) &&
                    namespacesInScope_ + ++declarations > kMaxNamespacesInScope) {
                    return refuse("more than " + std::to_string(kMaxNamespacesInScope) +
                                  " namespace declarations in scope");
                }
                nameStart = View::npos;
                ++position_;
                skipValue();
                continue;
            }
            if (isSpace(c)) {
                nameStart = View::npos;
            } else if (nameStart == View::npos) {
                nameStart = position_;
            }
            ++position_;
        }
        return true;
    }

    bool refuse(std::string reason) {
        reason_ = std::move(reason);
        return false;
    }

    // After '=': optional white space, then a quoted value, which ends at its quote or at a '<'.
    void skipValue() {
        while (position_ < text_.size() && isSpace(text_[position_])) {
            ++position_;
        }
        if (position_ >= text_.size() ||
            (text_[position_] != Char('"') && text_[position_] != Char('\''))) {
            return;
        }
        const Char quote = text_[position_++];
        while (position_ < text_.size() && text_[position_] != Char('<')) {
            if (text_[position_++] == quote) {
                return;
            }
        }
    }

    // "xmlns" or "xmlns:..." between the two positions (white space before '=' allowed).
    bool declaresNamespace(std::size_t begin, std::size_t end) const {
        while (end > begin && isSpace(text_[end - 1])) {
            --end;
        }
        const View name = text_.substr(begin, end - begin);
        const View xmlns = kXmlns.view();
        return name.substr(0, xmlns.size()) == xmlns &&
               (name.size() == xmlns.size() || name[xmlns.size()] == Char(':'));
    }

    ParseFailure failure() const {
        const std::size_t end = std::min(position_, text_.size());
        const auto lines = std::count(text_.begin(), text_.begin() + end, Char('\n'));
        return ParseFailure{static_cast<int32_t>(lines + 1), reason_};
    }

    static constexpr Literal<Char, 4> kCommentOpen{"!--"};
    static constexpr Literal<Char, 4> kCommentEnd{"-->"};
    static constexpr Literal<Char, 9> kCdataOpen{"![CDATA["};
    static constexpr Literal<Char, 4> kCdataEnd{"]]>"};
    static constexpr Literal<Char, 2> kInstructionOpen{"?"};
    static constexpr Literal<Char, 3> kInstructionEnd{"?>"};
    static constexpr Literal<Char, 6> kXmlns{"xmlns"};
    View text_;
    std::size_t position_ = 0;
    // Namespace declarations of each open element, and their sum.
    std::vector<std::size_t> scope_;
    std::size_t namespacesInScope_ = 0;
    std::string reason_;
};

}  // namespace

std::optional<ParseFailure> checkParseLimits(std::string_view text) {
    return LimitScanner<char>(text).scan();
}

std::optional<ParseFailure> checkParseLimits(std::u16string_view text) {
    return LimitScanner<char16_t>(text).scan();
}

}  // namespace qor::xml
