#include "platform/directory_part.h"

namespace qor::platform {

std::u16string_view directoryPart(std::u16string_view path) {
    return directoryPartAt(path, u'\\');
}

}  // namespace qor::platform
