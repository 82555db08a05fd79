#pragma once
// The tab-separated analysis of a track: SNR per satellite slot, SNR by PRN, PRN numbers,
// in-use flags and the position, speed, heading and acceleration of every sample.

#include <string>

#include "track/track_sample.h"

// Deletes path, then (for a non-empty track) writes the analysis there with each line feed
// stored as CR LF. 0 when written or the track is empty; -1, after the message
// "Open out nmea file fail!", when the file cannot be opened.
int ExportTrackAnalysis(const TrackEntry* first, const std::string& path);
