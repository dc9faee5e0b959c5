#pragma once

#include <cstddef>

namespace qor::test {

// While it lives, every allocation through operator new of at least `bytes` throws
// std::bad_alloc: an allocator that has run out, for the allocation of one large copy. The test
// binary replaces the global operator new and delete for this.
class LargeAllocationsFail {
  public:
    explicit LargeAllocationsFail(std::size_t bytes);
    ~LargeAllocationsFail();
    LargeAllocationsFail(const LargeAllocationsFail&) = delete;
    LargeAllocationsFail& operator=(const LargeAllocationsFail&) = delete;
};

}  // namespace qor::test
