#pragma once

#include <cstdint>
#include <exception>

namespace qor::xml {

// A failed DOM call, with its 32-bit failure code. Most XMLParser operations turn it into a false
// or null result and a report; getChildNodesOfNode, getMapOfNode and getRootNode let it through.
class DomError : public std::exception {
  public:
    // A DOM call that must produce an object produced none, or a null handle was given.
    static constexpr uint32_t kPointer = 0x80004003u;
    // The DOM refused the operation: a query it cannot evaluate, an append that would make a
    // node its own descendant.
    static constexpr uint32_t kFail = 0x80004005u;
    // A name that is not an XML name.
    static constexpr uint32_t kInvalidArgument = 0x80070057u;
    // Copying a string for the DOM ran out of memory.
    static constexpr uint32_t kOutOfMemory = 0x8007000Eu;

    explicit DomError(uint32_t code) : code_(code) {}

    uint32_t code() const { return code_; }
    const char* what() const noexcept override { return "XML DOM call failed"; }

  private:
    uint32_t code_;
};

// A DOM could not hand out an element's attribute map (`attributes`) or not count it (`length`).
class AttributeMapError : public DomError {
  public:
    enum Step { kAttributes, kLength };
    AttributeMapError(Step step, uint32_t code) : DomError(code), step_(step) {}
    Step step() const { return step_; }

  private:
    Step step_;
};

}  // namespace qor::xml
