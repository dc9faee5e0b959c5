#include "support/allocation_failure.h"

#include <atomic>
#include <cstdlib>
#include <limits>
#include <new>

namespace {

std::atomic<std::size_t> failFrom{std::numeric_limits<std::size_t>::max()};

}  // namespace

namespace qor::test {

LargeAllocationsFail::LargeAllocationsFail(std::size_t bytes) {
    failFrom = bytes;
}

LargeAllocationsFail::~LargeAllocationsFail() {
    failFrom = std::numeric_limits<std::size_t>::max();
}

}  // namespace qor::test

// The replaceable forms that the others (arrays, nothrow, sized delete) fall back on.
void* operator new(std::size_t bytes) {
    if (bytes >= failFrom) {
        throw std::bad_alloc();
    }
    if (void* memory = std::malloc(bytes != 0 ? bytes : 1)) {
        return memory;
    }
    throw std::bad_alloc();
}

void operator delete(void* memory) noexcept {
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}
