#pragma once

#include <ostream>
#include <string>

namespace qor::host {

// Exit codes of check-bindings, beside 2 for a file that cannot be used.
enum BindingsCheckResult : int {
    kBindingsAsWritten = 0,  // every binding is stored as written; LoadBindings answers "true"
    kBindingsChanged = 1,    // a binding is skipped or replaced, or LoadBindings answers "false"
};

// Reads a bindings document (or a LoadBindings payload holding one) as QOR's LoadBindings does and
// tells what will be stored, what will be skipped and why: a binding without a "source", an empty
// "propertyName", duplicate keys, several sources, unknown child elements, missing sections.
// Throws HostError naming the file and line for a file that cannot be used.
int checkBindings(const std::string& path, std::ostream& out);

}  // namespace qor::host
