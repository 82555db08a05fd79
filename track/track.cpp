#include "track/track.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>

#include "track/regular_file.h"
#include "track/sentence_framing.h"
#include "track/sentence_parser.h"
#include "track/text_line_reader.h"
#include "track/track_arena.h"
#include "track/track_export.h"
#include "track/utc_clock.h"

namespace {
// GGA, GSA, RMC and VTG without GSV or G-sensor: the line that completes such a set is kept
// and applied again to each closed sample.
constexpr uint32_t kKeptSet = kSentenceGga | kSentenceGsa | kSentenceRmc | kSentenceVtg;
constexpr char kGsensorSuffix[] = ",A*00\n\r";
static_assert(sizeof kGsensorSuffix - 1 <= TextLineReader::kSlack);
// A camera writes some 450 bytes of log a second; guessing more entries than it holds costs
// only address space, as the pages past the last entry are never touched.
constexpr size_t kLogBytesPerEntryGuess = 256;

// A piece made into the line the parser expects, written over the reader's bytes after it,
// which are put back when the line is done. G-sensor lines carry no checksum, so they lose
// their line feed and get a 00 one, which always passes; any other line gets a carriage
// return after its line feed. The line is C text: a NUL byte ends it.
class PreparedLine {
public:
    explicit PreparedLine(const LinePiece& piece) : data_(piece.text) {
        const LineScan& scan = piece.scan;
        size_t length = scan.nul < piece.length ? scan.nul : piece.length;
        const char* suffix = "\r";
        if (length >= 9 &&
            (std::memcmp(data_, "$GSENSORD", 9) == 0 || std::memcmp(data_, "$GSENSOR,", 9) == 0)) {
            if (data_[length - 1] == '\n')
                --length;
            suffix = kGsensorSuffix;
            // Without a "*" or a later "$" of its own, the suffix makes it one whole sentence.
            whole_ = scan.star >= length && scan.dollar >= length;
        } else {
            // One sentence when the checksum and the line feed end the line.
            whole_ = scan.star < length && length == scan.star + 4 && data_[length - 1] == '\n' &&
                     scan.dollar > scan.star;
            accepted_ = whole_ && ChecksumAccepted(data_ + scan.star + 1, scan.checksum);
        }
        end_ = data_ + length;
        std::memcpy(saved_, end_, sizeof saved_);
        const size_t added = std::strlen(suffix);
        std::memcpy(end_, suffix, added);
        size_ = length + added;
    }
    PreparedLine(const PreparedLine&) = delete;
    PreparedLine& operator=(const PreparedLine&) = delete;
    ~PreparedLine() { std::memcpy(end_, saved_, sizeof saved_); }

    const char* data() const { return data_; }
    size_t size() const { return size_; }

    void Apply(SentenceParser& parser, TrackSample& sample) const {
        if (whole_)
            parser.ApplySentence(data_, size_, accepted_, sample);
        else
            parser.ApplySentences(data_, size_, sample);
    }

private:
    char* data_;
    char* end_;
    size_t size_;
    bool whole_ = false;
    bool accepted_ = true;
    char saved_[TextLineReader::kSlack];
};

// A piece, the longest suffix and the terminator.
struct KeptLine {
    char text[kLinePieceMax + sizeof kGsensorSuffix];
    size_t length = 0;
};

// The calendar fields of one UTC second; gmtime_r runs again only when the second changes.
const std::tm* UtcFields(std::time_t t) {
    thread_local std::time_t cached_time = -1;
    thread_local std::tm cached{};
    thread_local bool valid = false;
    if (t != cached_time) {
        valid = gmtime_r(&t, &cached) != nullptr;
        cached_time = t;
    }
    return valid ? &cached : nullptr;
}

// InitSample on a sample whose every field is already zero.
void StampZeroedSample(TrackSample& sample) {
    using namespace std::chrono;
    const system_clock::time_point now = UtcNow();
    const auto seconds = floor<std::chrono::seconds>(now);
    const auto millis = duration_cast<milliseconds>(now - seconds).count();
    if (const std::tm* utc = UtcFields(system_clock::to_time_t(seconds))) {
        sample.year = utc->tm_year;
        sample.month = utc->tm_mon;
        sample.day = utc->tm_mday;
        sample.hour = utc->tm_hour;
        sample.minute = utc->tm_min;
        sample.second = utc->tm_sec;
        sample.hundredths = static_cast<int32_t>(millis / 10);
    }
    sample.fix_mode = 1;
}
}  // namespace

void InitSample(TrackSample& sample) {
    sample = TrackSample{};
    StampZeroedSample(sample);
}

TrackEntry* LoadTrack(const std::string& logPath, const std::string& analysisPath,
                      int* analysisResult, std::string* unreadable, LoadProgress* progress) {
    KeptLine kept;
    int32_t next_index = 0;
    TrackEntry* first = nullptr;

    std::string why;
    SentenceParser parser;
    if (parser.Open()) {
        const int fd = OpenRegularFile(logPath, &why);
        if (fd >= 0) {
            struct stat st {};
            const size_t log_bytes = fstat(fd, &st) == 0 ? static_cast<size_t>(st.st_size) : 0;
            if (progress != nullptr)
                progress->total = log_bytes;
            TrackArena arena(log_bytes / kLogBytesPerEntryGuess);
            // The sample grows where its entry will stay, in room that is still zero; without
            // room, it is read and dropped.
            TrackEntry* room = nullptr;
            TrackSample* sample = nullptr;
            TrackSample spare;
            const auto begin_sample = [&] {
                room = arena.Next();
                if (room != nullptr) {
                    sample = &room->sample;
                    StampZeroedSample(*sample);
                } else {
                    sample = &spare;
                    InitSample(spare);
                }
            };
            begin_sample();
            TextLineReader reader(fd, progress);
            LinePiece piece;
            while (reader.Next(&piece)) {
                {
                    const PreparedLine line(piece);
                    line.Apply(parser, *sample);
                    if (sample->sentences == kKeptSet) {
                        std::memcpy(kept.text, line.data(), line.size());
                        kept.length = line.size();
                    }
                }
                if ((sample->sentences & kSentenceGsensor) == 0)
                    continue;
                parser.ApplySentences(kept.text, kept.length, *sample);
                if (room != nullptr)
                    arena.Keep(next_index);
                else
                    std::puts("memory space is not enough");
                begin_sample();
                ++next_index;
            }
            close(fd);
            first = arena.Release();
        }
        parser.Close();
    }
    // A load given up part way has no analysis of its own: the file keeps what it held.
    const bool cancelled = progress != nullptr && progress->Cancelled();
    const int result =
        analysisPath.empty() || cancelled ? 0 : ExportTrackAnalysis(first, analysisPath);
    if (analysisResult != nullptr)
        *analysisResult = result;
    if (unreadable != nullptr)
        *unreadable = why;
    return first;
}

TrackEntry* BuildTrack(const std::vector<TrackSample>& samples) {
    TrackArena arena(samples.size());
    int32_t index = 0;
    for (const TrackSample& sample : samples) {
        TrackEntry* room = arena.Next();
        if (room == nullptr)
            throw std::bad_alloc();
        room->sample = sample;
        arena.Keep(index++);
    }
    return arena.Release();
}

void FreeTrack(TrackEntry* first) {
    TrackArena::Free(first);
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
    if (std::strcmp(ext, "MP4") == 0 || std::strcmp(ext, "mp4") == 0)
        return 4;
    if (std::strcmp(ext, "GPS") == 0 || std::strcmp(ext, "gps") == 0)
        return 5;
    return 0;
}
