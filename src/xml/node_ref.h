#pragma once

#include <memory>
#include <type_traits>
#include <utility>

#include "dom_backend.h"  // the back end's RawDocument, RawNode, retain, release, freeDocument

namespace qor::xml::dom {

// One reference to a node, held as the back end counts references; null when empty.
class NodeRef {
  public:
    NodeRef() = default;
    // Takes over one reference to `node`.
    explicit NodeRef(RawNode node) : node_(node) {}
    NodeRef(const NodeRef& other) : node_(other.node_) {
        if (node_ != nullptr) {
            retain(node_);
        }
    }
    NodeRef(NodeRef&& other) noexcept : node_(std::exchange(other.node_, nullptr)) {}
    NodeRef& operator=(NodeRef other) noexcept {
        std::swap(node_, other.node_);
        return *this;
    }
    ~NodeRef() {
        if (node_ != nullptr) {
            release(node_);
        }
    }

    explicit operator bool() const { return node_ != nullptr; }
    RawNode get() const { return node_; }

  private:
    RawNode node_ = nullptr;
};

struct FreeDocument {
    void operator()(RawDocument document) const { freeDocument(document); }
};
// A new document no wrapper holds yet.
using OwnedDocument = std::unique_ptr<std::remove_pointer_t<RawDocument>, FreeDocument>;

}  // namespace qor::xml::dom
