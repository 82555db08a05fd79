#include "telemetry/track_source.h"

#include <sys/stat.h>

#include <strings.h>

#include <cctype>

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
}  // namespace

ClipChannel SplitClipChannel(const std::string& path) {
    const size_t slash = path.rfind('/');
    const size_t name = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = path.rfind('.');
    const size_t end = dot == std::string::npos || dot < name ? path.size() : dot;
    if (end < name + 2)
        return {};
    const char channel = path[end - 1];
    if (std::string("FRBIfrbi").find(channel) == std::string::npos)
        return {};
    const auto at = [&](size_t i) { return static_cast<unsigned char>(path[i]); };
    const bool underscore = at(end - 2) == '_';
    const auto mark = [&](size_t i) { return at(i) == '_' || std::isdigit(at(i)); };
    if (!mark(end - 2) && !(std::isalpha(at(end - 2)) && end >= name + 3 && mark(end - 3)))
        return {};
    const size_t sharedEnd = end - 1 - (underscore ? 1 : 0);
    if (sharedEnd == name)
        return {};
    return {path.substr(0, sharedEnd), channel};
}

std::string RearClipOf(const std::string& front) {
    const ClipChannel split = SplitClipChannel(front);
    if (split.channel != 'F' && split.channel != 'f')
        return {};
    const size_t letter = split.shared.size() + (front[split.shared.size()] == '_' ? 1 : 0);
    const bool lower = split.channel == 'f';
    for (const char rear : {'R', 'B', 'I'}) {
        std::string path = front;
        path[letter] = lower ? static_cast<char>(std::tolower(rear)) : rear;
        if (IsRegularFile(path))
            return path;
    }
    return {};
}

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
    // A front clip's own log first, then the one the channels share.
    std::vector<std::string> stems{recording.substr(0, dot)};
    if (const ClipChannel split = SplitClipChannel(recording);
        split.channel == 'F' || split.channel == 'f')
        stems.push_back(split.shared);
    // The log pairs as it always has: the extension "nmea", in lower case.
    for (const std::string& stem : stems) {
        if (const std::string log = stem + ".nmea"; IsRegularFile(log))
            return {TrackSourceKind::kNmeaLog, log};
    }
    for (const std::string& stem : stems) {
        for (const char* gps : {".gps", ".GPS"}) {
            if (const std::string path = stem + gps; IsRegularFile(path))
                return {TrackSourceKind::kGpsFile, path};
        }
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
