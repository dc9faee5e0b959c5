#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <string>

namespace qor::fuzz {

// A UTF-16 text from the fuzzer's bytes, two by two: unpaired surrogates and zero units included.
inline std::u16string consumeText(FuzzedDataProvider& data, std::size_t maxBytes) {
    const std::string bytes = data.ConsumeRandomLengthString(maxBytes);
    std::u16string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                             static_cast<unsigned char>(bytes[i + 1]) << 8));
    }
    return text;
}

// Mostly readable markup: the fuzzer's bytes taken as Latin-1, which the dictionaries feed with
// the element and attribute names QOR reads.
inline std::u16string consumeMarkup(FuzzedDataProvider& data, std::size_t maxBytes) {
    const std::string bytes = data.ConsumeRandomLengthString(maxBytes);
    return std::u16string(bytes.begin(), bytes.end());
}

}  // namespace qor::fuzz
