// Arbitrary bytes as a whole log through the path the player takes (LoadTrack reading the file
// line by line, and the analysis export) and through every writer of vantrail-track, the first
// line standing in for the log's name. Each output must be valid whatever the log: XML
// well-formed, and no number that is not finite anywhere.

#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

#include "fuzz/output_checks.h"
#include "track/driving_events.h"
#include "track/track.h"
#include "track/track_outputs.h"
#include "track/utc_clock.h"

namespace {
std::string& AnalysisFolder() {
    static std::string folder;
    return folder;
}

void RemoveAnalysisFolder() {
    std::remove((AnalysisFolder() + "/out_nmea.txt").c_str());
    rmdir(AnalysisFolder().c_str());
}

// Fails the run where libFuzzer sees it, also in builds without assert.
void Check(bool ok, const char* what, std::string_view output) {
    if (ok)
        return;
    std::fprintf(stderr, "%s:\n%.*s\n", what, static_cast<int>(output.size()), output.data());
    std::abort();
}

std::string Written(const std::function<bool(std::FILE*)>& write) {
    char* data = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&data, &size);
    Check(out != nullptr && write(out), "a write to memory failed", {});
    std::fclose(out);
    std::string text(data, size);
    std::free(data);
    return text;
}

std::string ReadAll(const std::string& path) {
    std::string text;
    if (std::FILE* in = std::fopen(path.c_str(), "rb")) {
        char block[65536];
        for (size_t n; (n = std::fread(block, 1, sizeof block, in)) > 0;) text.append(block, n);
        std::fclose(in);
    }
    return text;
}

// The document's own name is the log's, which may well hold "inf".
void CheckXml(const std::string& xml) {
    Check(WellFormedXml(xml), "not well-formed XML", xml);
    const size_t start = xml.find("<name>");
    const size_t end = xml.find("</name>", start);
    Check(start != std::string::npos && end != std::string::npos, "no name", xml);
    Check(AllFinite(xml.substr(0, start)) && AllFinite(xml.substr(end)), "inf or nan", xml);
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SetUtcClock([] { return std::chrono::system_clock::time_point{}; });
    // A folder of its own, in memory where there is /dev/shm: the analysis is synced every run.
    std::string folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    folder += "/vantrail-fuzz-XXXXXX";
    if (mkdtemp(folder.data()) == nullptr)
        return 1;
    AnalysisFolder() = folder;
    std::atexit(RemoveAnalysisFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const int fd = memfd_create("vantrail-fuzz-log", 0);
    static const std::string log = "/proc/self/fd/" + std::to_string(fd);
    static const std::string analysis = AnalysisFolder() + "/out_nmea.txt";
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size))
        return 0;
    TrackEntry* track = LoadTrack(log, analysis);
    const std::vector<DrivingEvent> events = FindDrivingEvents(track);
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string name(bytes.substr(0, std::min<size_t>(bytes.find('\n'), 255)));

    CheckXml(Written([&](std::FILE* out) { return WriteGpx(out, track, name); }));
    CheckXml(Written([&](std::FILE* out) { return WriteKml(out, track, events, name); }));
    for (const std::string& text :
         {Written([&](std::FILE* out) { return WriteCsv(out, track); }),
          Written([&](std::FILE* out) { return WriteEventsCsv(out, events); }),
          FormatSummary(SummarizeTrack(track, events)), ReadAll(analysis)}) {
        Check(AllFinite(text), "inf or nan", text);
    }
    FreeTrack(track);
    return 0;
}
