#pragma once

struct _xmlNode;

namespace qor::xml {

// Makes a subtree mean where it now stands what it meant where it came from. Every element and
// attribute in it ends up pointing at a namespace declaration in scope with its own prefix and
// namespace name; where there is none, or the prefix is bound to another name there, it is
// declared on that element (under a new prefix when the element itself already binds the prefix
// otherwise). An element in no namespace under a default namespace gets xmlns="". One pass,
// proportional to the subtree times the declarations in scope (libxml2's xmlReconciliateNs is
// quadratic in the number of namespaces it meets). Throws DomError when memory runs out.
void reconcileNamespaces(_xmlNode* top);

}  // namespace qor::xml
