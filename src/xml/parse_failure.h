#pragma once

#include <cstdint>
#include <string>

namespace qor::xml {

// Why a text was refused: the line (1 for the first, 0 when unknown) and what was wrong with it.
struct ParseFailure {
    int32_t line = 0;
    std::string message;

    bool empty() const { return line == 0 && message.empty(); }
};

}  // namespace qor::xml
