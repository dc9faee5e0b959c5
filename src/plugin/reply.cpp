#include "plugin/reply.h"

#include <utility>

namespace qor {

Reply Reply::constant(std::u16string_view text) {
    Reply reply;
    reply.view_ = text;
    return reply;
}

Reply Reply::borrowed(const char16_t* text, ReleaseFunction release) {
    Reply reply;
    if (text != nullptr) {
        reply.view_ = text;
        reply.borrowed_ = text;
        reply.release_ = release;
    }
    return reply;
}

Reply Reply::copied(const char16_t* text, ReleaseFunction release) {
    Reply reply = borrowed(text, release);
    reply.copy_ = reply.view_;  // released by the destructor below if this throws
    reply.view_ = {};
    reply.release();
    return reply;
}

Reply::Reply(Reply&& other) noexcept
    : view_(std::exchange(other.view_, {})),
      copy_(std::move(other.copy_)),
      borrowed_(std::exchange(other.borrowed_, nullptr)),
      release_(std::exchange(other.release_, nullptr)) {}

Reply& Reply::operator=(Reply&& other) noexcept {
    if (this != &other) {
        release();
        view_ = std::exchange(other.view_, {});
        copy_ = std::move(other.copy_);
        borrowed_ = std::exchange(other.borrowed_, nullptr);
        release_ = std::exchange(other.release_, nullptr);
    }
    return *this;
}

Reply::~Reply() {
    release();
}

void Reply::release() {
    if (borrowed_ != nullptr && release_ != nullptr) {
        release_(borrowed_);
    }
    borrowed_ = nullptr;
    release_ = nullptr;
}

}  // namespace qor
