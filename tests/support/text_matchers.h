#pragma once

#include <gmock/gmock.h>

#include <string_view>

namespace qor::test {

// gMock's string matchers for UTF-16 texts.
MATCHER_P(StartsWith16, prefix, "starts with the given text") {
    return std::u16string_view(arg).starts_with(prefix);
}

MATCHER_P(Contains16, part, "contains the given text") {
    return std::u16string_view(arg).find(part) != std::u16string_view::npos;
}

}  // namespace qor::test
