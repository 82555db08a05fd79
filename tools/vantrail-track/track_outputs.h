#pragma once
// What vantrail-track makes of a loaded track besides the analysis file.

#include <cstdio>
#include <string>

#include "track/track_sample.h"

struct TrackSummary {
    int entries = 0;
    int valid_fixes = 0;
    double distance_km = 0;    // great-circle, between consecutive valid fixes
    double max_speed_kmh = 0;  // over all entries
    double peak_g = 0;         // largest magnitude of the acceleration vector
};

TrackSummary SummarizeTrack(const TrackEntry* first);
std::string FormatSummary(const TrackSummary& summary);

// Haversine distance in kilometres between two points in decimal degrees.
double GreatCircleKm(double lat1, double lon1, double lat2, double lon2);

// GPX 1.1: one track segment of the valid positions. Returns false on a write error.
bool WriteGpx(std::FILE* out, const TrackEntry* first, const std::string& name);

// One row per entry under a header line. Returns false on a write error.
bool WriteCsv(std::FILE* out, const TrackEntry* first);
