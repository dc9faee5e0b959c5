#pragma once

// windows.h first: the COM headers need its types.
#include <windows.h>

#include <oleauto.h>

#include <string>
#include <string_view>

namespace qor::xml {

// Owns one BSTR: SysFreeString on destruction.
class Bstr {
  public:
    Bstr() = default;
    // A copy of a text for the DOM; DomError 0x8007000E when it cannot be made.
    explicit Bstr(std::u16string_view text);
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(text_); }

    BSTR get() const { return text_; }
    // The slot a BSTR-returning call writes into; the earlier text is freed.
    BSTR* put() {
        SysFreeString(text_);
        text_ = nullptr;
        return &text_;
    }
    // Hands the BSTR over to the caller (into a VARIANT that frees it).
    BSTR release() {
        BSTR text = text_;
        text_ = nullptr;
        return text;
    }
    // The text (a null BSTR is the empty text).
    std::u16string text() const;

  private:
    BSTR text_ = nullptr;
};

// Owns one VARIANT: VariantClear on destruction.
class Variant {
  public:
    Variant() { VariantInit(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(&value_); }

    VARIANT* get() { return &value_; }
    const VARIANT& value() const { return value_; }

  private:
    VARIANT value_;
};

}  // namespace qor::xml
