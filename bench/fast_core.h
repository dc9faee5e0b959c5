#pragma once

#include <cstdlib>
#include <cstring>

#include "qor/plugin.h"

namespace qor::bench {

inline bool coreRelease(const char16_t* text) {
    std::free(const_cast<char16_t*>(text));
    return true;
}

// A Core that answers every message with a fresh copy of "ok", released with coreRelease.
inline const char16_t* coreSend(const MessageRecord*, ReleaseFunction* outRelease) {
    static const char16_t reply[] = u"ok";
    auto* copy = static_cast<char16_t*>(std::malloc(sizeof reply));
    std::memcpy(copy, reply, sizeof reply);
    *outRelease = coreRelease;
    return copy;
}

}  // namespace qor::bench
