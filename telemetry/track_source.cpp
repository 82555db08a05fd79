#include "telemetry/track_source.h"

#include <sys/stat.h>

#include <strings.h>

#include "telemetry/novatek_gps.h"
#include "telemetry/per_second.h"
#include "telemetry/telemetry.h"
#include "track/track.h"
#include "track/track_export.h"

namespace {
bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The path with the text after its last '.' (in the file's own name) replaced.
std::string WithExtension(const std::string& path, size_t dot, const char* extension) {
    return path.substr(0, dot + 1) + extension;
}
}  // namespace

TrackSource ChooseTrackSource(const std::string& recording) {
    const TrackSource itself{TrackSourceKind::kNmeaLog, recording};
    const size_t slash = recording.rfind('/');
    const size_t dot = recording.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return itself;
    const char* extension = recording.c_str() + dot + 1;
    if (strcasecmp(extension, "gps") == 0)
        return {TrackSourceKind::kGpsFile, recording};
    if (strcasecmp(extension, "mov") != 0 && strcasecmp(extension, "mp4") != 0 &&
        strcasecmp(extension, "ts") != 0) {
        return itself;
    }
    // The log pairs as it always has: the extension "nmea", in lower case.
    if (const std::string log = WithExtension(recording, dot, "nmea"); IsRegularFile(log))
        return {TrackSourceKind::kNmeaLog, log};
    for (const char* gps : {"gps", "GPS"}) {
        if (const std::string path = WithExtension(recording, dot, gps); IsRegularFile(path))
            return {TrackSourceKind::kGpsFile, path};
    }
    return {TrackSourceKind::kClip, recording};
}

SourcedTrack LoadSourcedTrack(const std::string& recording, const std::string& analysis_path,
                              LoadProgress* progress) {
    SourcedTrack loaded;
    loaded.source = ChooseTrackSource(recording);
    const std::string& path = loaded.source.path;
    switch (loaded.source.kind) {
        case TrackSourceKind::kNmeaLog:
            loaded.first = LoadTrack(path, analysis_path, &loaded.analysis_result,
                                     &loaded.unreadable, progress);
            if (!loaded.unreadable.empty())
                loaded.why_none = "cannot read " + path + ": " + loaded.unreadable;
            else if (loaded.first == nullptr)
                loaded.why_none = "no data in " + BaseName(path);
            return loaded;
        case TrackSourceKind::kGpsFile:
        case TrackSourceKind::kClip:
            break;
    }
    Telemetry telemetry = ReadTelemetry(path, progress);
    loaded.layout = telemetry.layout;
    loaded.notes = std::move(telemetry.notes);
    loaded.first = BuildTrack(SamplesPerSecond(telemetry.points));
    if (!analysis_path.empty() && (progress == nullptr || !progress->Cancelled()))
        loaded.analysis_result = ExportTrackAnalysis(loaded.first, analysis_path);
    if (loaded.first != nullptr)
        return loaded;
    loaded.unreadable = telemetry.failure;
    if (!telemetry.failure.empty())
        loaded.why_none = "cannot read " + path + ": " + telemetry.failure;
    else if (!loaded.notes.empty())
        loaded.why_none = loaded.notes.back();
    else
        loaded.why_none = "no GPS or G-sensor data in " + BaseName(path);
    return loaded;
}
