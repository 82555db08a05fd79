// Arbitrary bytes through the sentence parser into a sample, and as a whole log through
// LoadTrack and the analysis export.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "app/message.h"
#include "track/sentence_parser.h"
#include "track/track.h"
#include "track/track_export.h"
#include "track/utc_clock.h"

namespace {
void FeedInPieces(const uint8_t* data, size_t size) {
    SentenceParser parser;
    if (!parser.Open())
        return;
    TrackSample sample;
    InitSample(sample);
    // The first byte picks the piece length, so chunk edges land everywhere.
    const size_t piece = size > 0 ? 1 + data[0] % 97 : 1;
    for (size_t at = 0; at < size; at += piece) {
        const size_t n = size - at < piece ? size - at : piece;
        ApplySentences(parser, reinterpret_cast<const char*>(data) + at, n, sample);
    }
    // And all at once, longer than the buffer, through the queue.
    parser.Feed(reinterpret_cast<const char*>(data), size);
    SentenceRecord record;
    while (parser.Pop(&record) != kSentenceNone) ApplySentence(record, sample);
}

void LoadAsLog(const uint8_t* data, size_t size) {
    static const int fd = memfd_create("vantrail-fuzz-log", 0);
    static const std::string log = "/proc/self/fd/" + std::to_string(fd);
    static const std::string analysis = "/tmp/vantrail-fuzz-" + std::to_string(getpid()) + ".txt";
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size))
        return;
    TrackEntry* track = LoadTrack(log);
    ExportTrackAnalysis(track, analysis);
    FreeTrack(track);
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SetUtcClock([] { return std::chrono::system_clock::time_point{}; });
    SetAnalysisDestination(AnalysisDestination::None);
    SetMessageHandler([](const std::string&, const std::string&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FeedInPieces(data, size);
    LoadAsLog(data, size);
    return 0;
}
