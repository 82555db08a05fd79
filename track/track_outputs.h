#pragma once
// What is written from a loaded track besides the analysis file: GPX, CSV, KML, the driving
// events and a summary. The writers stream entry by entry to a FILE* (WriteOutputFile gives
// one) and return false when a write failed.

#include <cstdio>
#include <string>
#include <vector>

#include "track/driving_events.h"
#include "track/output_file.h"
#include "track/track_sample.h"

struct TrackSummary {
    int entries = 0;
    int valid_fixes = 0;
    double distance_km = 0;    // great-circle, between consecutive valid fixes
    double max_speed_kmh = 0;  // over all entries
    double peak_g = 0;         // largest magnitude of the acceleration vector
    int harsh_events = 0;
    int bump_events = 0;
};

TrackSummary SummarizeTrack(const TrackEntry* first, const std::vector<DrivingEvent>& events);
std::string FormatSummary(const TrackSummary& summary);

// GPX 1.1: one track segment of the valid positions.
bool WriteGpx(std::FILE* out, const TrackEntry* first, const std::string& name);

// One row per entry under a header line.
bool WriteCsv(std::FILE* out, const TrackEntry* first);

// One row per event under a header line; position and speed empty where there is no fix.
bool WriteEventsCsv(std::FILE* out, const std::vector<DrivingEvent>& events);

// KML 2.2: the route through the valid positions (when there are two or more) and one
// placemark per event, with a point where the event's entry has a fix.
bool WriteKml(std::FILE* out, const TrackEntry* first, const std::vector<DrivingEvent>& events,
              const std::string& name);
