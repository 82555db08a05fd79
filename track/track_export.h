#pragma once
// The tab-separated analysis of a track: SNR per satellite slot, SNR by PRN, PRN numbers,
// in-use flags and the position, speed, heading and acceleration of every sample.

#include <string>

#include "track/track_sample.h"

inline constexpr int kAnalysisOpenFailed = -1;
inline constexpr int kAnalysisWriteFailed = -2;

// Writes the analysis of a non-empty track to path (WriteOutputFile: the file there is replaced
// only when the new one is whole), with each line feed stored as CR LF; an empty track deletes
// path. 0 when written or the track is empty; kAnalysisOpenFailed when the file cannot be
// made; kAnalysisWriteFailed when a write fails. A failure leaves path as it was.
int ExportTrackAnalysis(const TrackEntry* first, const std::string& path);

// What the caller tells the user about a failed export: "Open out nmea file fail!" or
// "Write out nmea file fail!".
const char* AnalysisFailureText(int result);
