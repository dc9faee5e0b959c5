#pragma once

#include <string>
#include <string_view>

#include "qor/plugin.h"

namespace qor {

// What a callee answered: its text, viewed where it lies until the Reply goes, and then released
// once with the function the callee handed back. A Reply can also hold a copy of its own (for an
// applet, whose code may leave the process before the Reply goes) or one of QOR's constant texts.
class Reply {
  public:
    Reply() = default;
    // One of QOR's own texts, which outlive every Reply.
    static Reply constant(std::u16string_view text);
    // A callee's text, released with `release` (if any) when the Reply goes; null reads as empty.
    static Reply borrowed(const char16_t* text, ReleaseFunction release);
    // A copy of a callee's text; the text is released at once (also when the copy fails).
    static Reply copied(const char16_t* text, ReleaseFunction release);

    Reply(Reply&& other) noexcept;
    Reply& operator=(Reply&& other) noexcept;
    Reply(const Reply&) = delete;
    Reply& operator=(const Reply&) = delete;
    ~Reply();

    std::u16string_view text() const { return copy_.empty() ? view_ : copy_; }

  private:
    void release();

    std::u16string_view view_;
    std::u16string copy_;
    const char16_t* borrowed_ = nullptr;
    ReleaseFunction release_ = nullptr;
};

}  // namespace qor
