#pragma once

#include <ostream>
#include <string>

namespace qor::host {

// Exit codes of check-bindings, beside 2 for a file that cannot be used.
enum BindingsCheckResult : int {
    kBindingsAsWritten = 0,  // every binding is stored as written; LoadBindings answers "true"
    kBindingsChanged = 1,    // a binding is skipped or replaced, LoadBindings answers "false", or
                             // the document holds a name it does not define or lacks a value
};

// Reads a bindings document (or a LoadBindings payload holding one) as QOR's LoadBindings does and
// tells what will be stored, what will be skipped and why: a binding without a "source", an empty
// "propertyName", "id", "event" or "command", duplicate keys, several sources, attributes and
// elements the document does not define, missing sections. A bindings document is also sent as a
// host sends it, in the payload qorLoadBindingsPayload builds. Throws HostError naming the file
// and line for a file that cannot be used.
int checkBindings(const std::string& path, std::ostream& out);

}  // namespace qor::host
