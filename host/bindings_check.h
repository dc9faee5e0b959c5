#pragma once

#include <ostream>
#include <string>

namespace qor::host {

// Reads a bindings document (or a LoadBindings payload holding one) as QOR's LoadBindings does and
// tells what will be stored, what will be skipped and why: a binding without a "source", an empty
// "propertyName", duplicate keys, unknown child elements, missing sections. Returns 0, or 2 when
// the file cannot be read. Throws HostError naming the file and line for an unusable file.
int checkBindings(const std::string& path, std::ostream& out);

}  // namespace qor::host
