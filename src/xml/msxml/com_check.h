#pragma once

#include <windows.h>

#include "com_ptr.h"
#include "xml/dom_error.h"

namespace qor::xml {

// A DOM call in its raising form: a failure code becomes a DomError.
inline void check(HRESULT result) {
    if (FAILED(result)) {
        throw DomError(static_cast<uint32_t>(result));
    }
}

// A DOM call that must produce an object: none raises 0x80004003.
template <typename Interface>
void checkMade(HRESULT result, const ComPtr<Interface>& made) {
    check(result);
    if (!made) {
        throw DomError(DomError::kPointer);
    }
}

}  // namespace qor::xml
