#pragma once
// Where a recording's track comes from. For a row of the recording list (a clip: .mov, .mp4
// or .ts in either letter case; a .nmea log; a .gps file) the first of these that exists
// gives the track:
//   1. the .nmea log of the same name beside the clip, for a front clip of a two-channel
//      camera else the one of the shared name: read by LoadTrack exactly as before, analysis
//      file included (a log row, or any file that is neither a clip nor a .gps file, is read
//      as a log itself);
//   2. the .gps file of the same name (".gps", else ".GPS"; a .gps row is its own), read with
//      the .3gf of the same name when there is one; again the shared name's after the own;
//   3. the telemetry inside the clip.
// Every source gives the same one-entry-per-second track, so everything that uses a track
// works on all of them. Playback, the trip view and both tools go through here.

#include <string>
#include <vector>

#include "track/load_progress.h"
#include "track/track_sample.h"

// Two-channel cameras write one clip per camera and moment, named alike but for a channel
// letter before the extension, with or without an '_' before it: REC0007_F.MOV and
// REC0007_R.MOV, 20240101_120000_NF.mp4 and ..._NR.mp4, 2024_0101_120000_0012F.MP4 and
// ..._0012R.MP4. The letter counts only after an '_', a digit, or one letter that follows an
// '_', so that ordinary names ending in one of the letters (SELF.MOV) are not taken for one.
struct ClipChannel {
    std::string shared;  // the path without extension, channel letter and the '_' before it
    char channel = 0;    // 'F' front, 'R' or 'B' rear, 'I' inside, as written; 0 for none
};
ClipChannel SplitClipChannel(const std::string& path);

// The rear clip that plays with a front clip: its name with R, else B, else I (in the front
// letter's case) for the F, that exists as a regular file; "" for none or another channel.
std::string RearClipOf(const std::string& front);

enum class TrackSourceKind {
    kNmeaLog,  // path: the .nmea log
    kGpsFile,  // path: the .gps file
    kClip,     // path: the clip itself, for its own telemetry
};

struct TrackSource {
    TrackSourceKind kind = TrackSourceKind::kNmeaLog;
    std::string path;
};

// The source of a recording from names alone (and whether those files exist as regular
// files); cheap enough for the UI thread. A clip always has a source: its own telemetry, if
// it turns out to hold any.
TrackSource ChooseTrackSource(const std::string& recording);

struct SourcedTrack {
    TrackEntry* first = nullptr;  // the track (FreeTrack it); null when it is empty
    TrackSource source;
    std::string layout;              // the telemetry layout read, for kGpsFile and kClip
    std::vector<std::string> notes;  // lines for History.log
    std::string why_none;            // when first is null: why, in one line
    std::string unreadable;          // why the source's file could not be read; "" when it was
    int analysis_result = 0;         // as LoadTrack reports it
};

// Reads the chosen source; may take long (a clip without an index is scanned), so the player
// runs it off the UI thread. Unless analysis_path is empty the track's analysis is written
// there exactly as LoadTrack writes a log's (ExportTrackAnalysis), an empty track included.
// progress, when given, follows the bytes read; cancelled, the load stops and writes no analysis.
SourcedTrack LoadSourcedTrack(const std::string& recording, const std::string& analysis_path,
                              LoadProgress* progress = nullptr);
