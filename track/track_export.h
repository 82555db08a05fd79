#pragma once
// The tab-separated analysis of a track: SNR per satellite slot, SNR by PRN, PRN numbers,
// in-use flags and the position, speed, heading and acceleration of every sample.

#include <string>

#include "track/track_sample.h"

inline constexpr int kAnalysisOpenFailed = -1;
inline constexpr int kAnalysisWriteFailed = -2;

// Deletes path, then (for a non-empty track) writes the analysis there with each line feed
// stored as CR LF. 0 when written or the track is empty; kAnalysisOpenFailed when the file
// cannot be opened; kAnalysisWriteFailed when a write fails, after which no file is left.
int ExportTrackAnalysis(const TrackEntry* first, const std::string& path);

// What the caller tells the user about a failed export: "Open out nmea file fail!" or
// "Write out nmea file fail!".
const char* AnalysisFailureText(int result);
