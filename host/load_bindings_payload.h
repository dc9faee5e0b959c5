#pragma once

#include <string>

namespace qor::host {

// The LoadBindings payload a host builds around the text of the bindings file at `path`, with
// the SDK's qorLoadBindingsPayload; throws HostError naming the file and line of what is wrong.
std::u16string loadBindingsPayload(const std::string& path, const std::string& text,
                                   const std::u16string& appletID = u"",
                                   const std::u16string& appletVersion = u"",
                                   const std::u16string& instanceID = u"");

}  // namespace qor::host
