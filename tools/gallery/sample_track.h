#pragma once
// A made-up drive for looking at and timing the instruments: speed, course, accelerations
// and satellites that change the way a real log does.

#include <vector>

#include "track/track_sample.h"

// `seconds` linked entries; the vector must not be resized afterwards.
std::vector<TrackEntry> MakeDriveTrack(int seconds);
