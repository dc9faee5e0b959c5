#pragma once

#include <chrono>

namespace qor::platform {

// The moment a bounded piece of work gives up. One deadline is handed through all the steps of
// the work, so that together they take no longer than it allows.
class Deadline {
  public:
    using Clock = std::chrono::steady_clock;

    static Deadline after(Clock::duration span) { return Deadline(Clock::now() + span); }

    bool passed() const { return Clock::now() >= at_; }

    // What is left, never negative.
    Clock::duration remaining() const {
        const Clock::duration left = at_ - Clock::now();
        return left > Clock::duration::zero() ? left : Clock::duration::zero();
    }

    // What is left in whole milliseconds, rounded up so that a wait never ends just before the
    // deadline and starts again with nothing left; 0 once it has passed.
    int remainingMilliseconds() const {
        return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(remaining()).count());
    }

  private:
    explicit Deadline(Clock::time_point at) : at_(at) {}

    Clock::time_point at_;
};

}  // namespace qor::platform
