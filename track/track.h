#pragma once
// A recording's log as a track of one sample per G-sensor line, and the small operations the
// rest of the player uses on it.

#include <string>
#include <vector>

#include "track/load_progress.h"
#include "track/track_sample.h"

// Reads the log line by line through the sentence parser. Then, unless analysisPath is empty,
// writes the track's analysis there (ExportTrackAnalysis) and, when analysisResult is given,
// stores the export's result in it (0 when no analysis is written). Returns the first entry,
// or null for an empty track. A log that is not a regular file is never read (a FIFO would
// block): it gives an empty track, and unreadable, when given, says why ("" when read).
// progress, when given, follows the bytes read; cancelled, the load stops there and writes
// no analysis.
TrackEntry* LoadTrack(const std::string& logPath, const std::string& analysisPath,
                      int* analysisResult = nullptr, std::string* unreadable = nullptr,
                      LoadProgress* progress = nullptr);

// A track of samples, indexed from 0 in their order; null when samples is empty.
TrackEntry* BuildTrack(const std::vector<TrackSample>& samples);

// Releases every entry from first on.
void FreeTrack(TrackEntry* first);

// The entry at the playback cursor (null when the cursor is null).
TrackEntry* CurrentSample(TrackEntry* cursor);

// Moves the cursor to its next entry and returns it; null (and the cursor null) at the end.
TrackEntry* AdvanceSample(TrackEntry*& cursor);

// The first entry, from first on, whose index equals index; null when there is none.
TrackEntry* FindSample(TrackEntry* first, int32_t index);

// NMEA form (degrees x 100 + minutes) to decimal degrees; the sign carries through.
void NmeaToDegrees(double lat, double lon, double* lat_degrees, double* lon_degrees);

// 1 MOV/mov, 2 TS/ts, 3 NMEA/nmea, 4 MP4/mp4, 5 GPS/gps, 0 other, -1 no path or no point.
int FileTypeFromExtension(const char* path);

// Every field zero, the date and time from the UTC clock, valid 0, fix_mode 1.
void InitSample(TrackSample& sample);
