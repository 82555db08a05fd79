#include "track/track.h"

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>
#include <string_view>

#include "app/app_state.h"
#include "track/sentence_parser.h"
#include "track/text_line_reader.h"
#include "track/track_export.h"
#include "track/utc_clock.h"

namespace {
// GGA, GSA, RMC and VTG without GSV or G-sensor: the line that completes such a set is kept
// and applied again to each closed sample.
constexpr uint32_t kKeptSet = kSentenceGga | kSentenceGsa | kSentenceRmc | kSentenceVtg;
constexpr char kGsensorSuffix[] = ",A*00\n\r";
// A piece, the longest suffix and the terminator.
constexpr size_t kWorkingLine = kLinePieceMax + sizeof kGsensorSuffix;

struct AnalysisSetting {
    AnalysisDestination destination = AnalysisDestination::ModuleFile;
    std::string path;
};

AnalysisSetting& Analysis() {
    static AnalysisSetting setting;
    return setting;
}

// Gives the line the terminator the framer expects. G-sensor lines carry no checksum, so
// they get a 00 one, which always passes. Returns the prepared length.
size_t PrepareLine(std::string_view text, char* line) {
    size_t length = text.size();
    std::memcpy(line, text.data(), length);
    if (length >= 9 &&
        (std::memcmp(line, "$GSENSORD", 9) == 0 || std::memcmp(line, "$GSENSOR,", 9) == 0)) {
        if (line[length - 1] == '\n')
            --length;
        std::memcpy(line + length, kGsensorSuffix, sizeof kGsensorSuffix - 1);
        return length + sizeof kGsensorSuffix - 1;
    }
    line[length] = '\r';
    return length + 1;
}

void WriteAnalysis(const TrackEntry* first) {
    const AnalysisSetting& setting = Analysis();
    switch (setting.destination) {
        case AnalysisDestination::ModuleFile:
            ExportTrackAnalysis(first, theApp().StateFile("out_nmea.txt"));
            break;
        case AnalysisDestination::Path:
            ExportTrackAnalysis(first, setting.path);
            break;
        case AnalysisDestination::None:
            break;
    }
}
}  // namespace

void SetAnalysisDestination(AnalysisDestination destination, const std::string& path) {
    Analysis() = {destination, path};
}

void InitSample(TrackSample& sample) {
    using namespace std::chrono;
    sample = TrackSample{};
    const system_clock::time_point now = UtcNow();
    const auto seconds = floor<std::chrono::seconds>(now);
    const auto millis = duration_cast<milliseconds>(now - seconds).count();
    const std::time_t t = system_clock::to_time_t(seconds);
    std::tm utc{};
    if (gmtime_r(&t, &utc) != nullptr) {
        sample.year = utc.tm_year;
        sample.month = utc.tm_mon;
        sample.day = utc.tm_mday;
        sample.hour = utc.tm_hour;
        sample.minute = utc.tm_min;
        sample.second = utc.tm_sec;
        sample.hundredths = static_cast<int32_t>(millis / 10);
    }
    sample.valid = 0;
    sample.fix_mode = 1;
}

TrackEntry* LoadTrack(const std::string& path) {
    TrackSample sample;
    InitSample(sample);
    char kept[kWorkingLine];
    size_t kept_length = 0;
    int32_t next_index = 0;
    TrackEntry* first = nullptr;
    TrackEntry** tail = &first;

    SentenceParser parser;
    if (parser.Open()) {
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            TextLineReader reader(fd);
            std::string_view piece;
            char line[kWorkingLine];
            while (reader.Next(&piece)) {
                // The line is C text: a NUL byte ends it.
                if (const void* nul = std::memchr(piece.data(), '\0', piece.size())) {
                    piece = piece.substr(
                        0, static_cast<size_t>(static_cast<const char*>(nul) - piece.data()));
                }
                const size_t length = PrepareLine(piece, line);
                ApplySentences(parser, line, length, sample);
                if (sample.sentences == kKeptSet) {
                    std::memcpy(kept, line, length);
                    kept_length = length;
                }
                if ((sample.sentences & kSentenceGsensor) == 0)
                    continue;
                ApplySentences(parser, kept, kept_length, sample);
                if (auto* entry = new (std::nothrow) TrackEntry{next_index, sample, nullptr}) {
                    *tail = entry;
                    tail = &entry->next;
                } else {
                    std::puts("memory space is not enough");
                }
                InitSample(sample);
                ++next_index;
            }
            close(fd);
        }
        parser.Close();
    }
    WriteAnalysis(first);
    return first;
}

void FreeTrack(TrackEntry* first) {
    while (first != nullptr) {
        TrackEntry* next = first->next;
        delete first;
        first = next;
    }
}

TrackEntry* CurrentSample(TrackEntry* cursor) {
    return cursor;
}

TrackEntry* AdvanceSample(TrackEntry*& cursor) {
    cursor = cursor != nullptr ? cursor->next : nullptr;
    return cursor;
}

TrackEntry* FindSample(TrackEntry* first, int32_t index) {
    for (TrackEntry* e = first; e != nullptr; e = e->next) {
        if (e->index == index)
            return e;
    }
    return nullptr;
}

void NmeaToDegrees(double lat, double lon, double* lat_degrees, double* lon_degrees) {
    const auto convert = [](double v) {
        const double d = v * 0.01;
        const double w = std::trunc(d);
        return (d - w) * 1.6666666666666667 + w;
    };
    *lat_degrees = convert(lat);
    *lon_degrees = convert(lon);
}

int FileTypeFromExtension(const char* path) {
    if (path == nullptr)
        return -1;
    const char* dot = std::strrchr(path, '.');
    if (dot == nullptr)
        return -1;
    const char* ext = dot + 1;
    if (std::strcmp(ext, "MOV") == 0 || std::strcmp(ext, "mov") == 0)
        return 1;
    if (std::strcmp(ext, "TS") == 0 || std::strcmp(ext, "ts") == 0)
        return 2;
    if (std::strcmp(ext, "NMEA") == 0 || std::strcmp(ext, "nmea") == 0)
        return 3;
    return 0;
}
