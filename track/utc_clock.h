#pragma once
// The clock that dates a new sample. Tests and the command-line tool fix it.

#include <chrono>
#include <functional>

using UtcClock = std::function<std::chrono::system_clock::time_point()>;

// Installs a clock and returns the previous one; an empty clock restores the system clock.
UtcClock SetUtcClock(UtcClock clock);

std::chrono::system_clock::time_point UtcNow();
