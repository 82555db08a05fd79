#pragma once
// Single-instance check through the X11 window list.

inline constexpr const char* kInstanceWindowTitle = "DarEdadive";

// Looks for a top-level window titled `title`. Returns 1 when there is none (start-up goes
// on, also when there is no X11 display) and 0 when one was found and brought forward.
int FindRunningInstance(const char* title = kInstanceWindowTitle);
