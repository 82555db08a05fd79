#pragma once
// Harsh manoeuvres and bumps found in a track's acceleration readings, whatever way round the
// camera is mounted.

#include <vector>

#include "track/track_sample.h"

enum class DrivingEventKind { Harsh, Bump };

struct DrivingEvent {
    const TrackEntry* entry;  // the entry where its run peaked
    DrivingEventKind kind;
    double peak_g;
};

struct DrivingEventThresholds {
    double harsh_g = 0.40;  // magnitude in the horizontal plane
    double bump_g = 0.50;   // vertical deviation from the recording's mean
};

// "harsh" or "bump".
const char* DrivingEventName(DrivingEventKind kind);

// The vertical axis is the one with the largest mean |g| (z, then y, then x on a tie); the
// other two span the horizontal plane. Each maximal run of entries at or over a threshold is
// one event at the run's largest value (the first of equals). Ordered by entry index, harsh
// before bump at the same entry.
std::vector<DrivingEvent> FindDrivingEvents(const TrackEntry* first,
                                            const DrivingEventThresholds& thresholds = {});
