#include "track/utc_clock.h"

#include <utility>

namespace {
std::chrono::system_clock::time_point SystemNow() {
    return std::chrono::system_clock::now();
}

UtcClock& Clock() {
    static UtcClock clock = SystemNow;
    return clock;
}
}  // namespace

UtcClock SetUtcClock(UtcClock clock) {
    if (!clock)
        clock = SystemNow;
    return std::exchange(Clock(), std::move(clock));
}

std::chrono::system_clock::time_point UtcNow() {
    return Clock()();
}
