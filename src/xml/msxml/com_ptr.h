#pragma once

// windows.h first: the COM headers need its types.
#include <windows.h>

#include <unknwn.h>

#include <utility>

namespace qor::xml {

// Owns one reference to a COM interface: Release on destruction, AddRef on copy.
template <typename Interface>
class ComPtr {
  public:
    ComPtr() = default;
    // Takes over a reference the caller owns.
    explicit ComPtr(Interface* pointer) : pointer_(pointer) {}
    ComPtr(const ComPtr& other) : pointer_(other.pointer_) {
        if (pointer_ != nullptr) {
            pointer_->AddRef();
        }
    }
    ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(pointer_, other.pointer_);
        return *this;
    }
    ~ComPtr() {
        if (pointer_ != nullptr) {
            pointer_->Release();
        }
    }

    Interface* get() const { return pointer_; }
    Interface* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }
    // Hands the reference over to the caller.
    Interface* release() { return std::exchange(pointer_, nullptr); }
    // The slot an interface-returning call writes its new reference into.
    Interface** put() {
        *this = ComPtr();
        return &pointer_;
    }

  private:
    Interface* pointer_ = nullptr;
};

}  // namespace qor::xml
