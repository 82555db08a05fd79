// LoadTrack and ExportTrackAnalysis on generated camera logs of 1, 10 and 24 hours, and
// LoadTrack against the floor of one plain pass over the same bytes.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "track/track.h"
#include "track/track_export.h"

namespace {
std::string WithChecksum(const std::string& body) {
    unsigned char sum = 0;
    for (const char c : body) sum ^= static_cast<unsigned char>(c);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
    return "$" + body + tail;
}

std::string Format(const char* format, auto... args) {
    char text[256];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

// One second per group: GGA, GSA, three GSV, RMC, VTG and the camera's G-sensor line, CRLF.
std::string GenerateLog(int seconds) {
    std::string log;
    log.reserve(static_cast<size_t>(seconds) * 560);
    for (int t = 0; t < seconds; ++t) {
        const int h = 8 + t / 3600 % 24;
        const int m = t / 60 % 60;
        const int s = t % 60;
        const double lat = 4807.038 + t * 0.0013;
        const double lon = 1131.000 + t * 0.0021;
        const double knots = 20 + 10 * std::sin(t / 30.0);
        const double course = std::fmod(t * 0.7, 360.0);
        log +=
            WithChecksum(Format("GPGGA,%02d%02d%02d.00,%09.4f,N,%010.4f,E,1,09,0.9,%.1f,M,46.9,M,,",
                                h, m, s, lat, lon, 545.4 + std::sin(t / 60.0)));
        log += WithChecksum("GPGSA,A,3,04,05,09,12,14,24,25,29,31,,,,2.5,1.3,2.1");
        log += WithChecksum(Format(
            "GPGSV,3,1,11,04,40,083,%02d,05,17,308,41,09,07,344,39,12,22,228,45", 30 + t % 20));
        log += WithChecksum("GPGSV,3,2,11,14,40,083,46,24,17,308,41,25,07,344,39,29,22,228,45");
        log += WithChecksum("GPGSV,3,3,11,31,40,083,46,32,17,308,,33,07,344,39");
        log += WithChecksum(
            Format("GPRMC,%02d%02d%02d.00,A,%09.4f,N,%010.4f,E,%.1f,%.1f,051226,003.1,W,A", h, m, s,
                   lat, lon, knots, course));
        log += WithChecksum(
            Format("GPVTG,%.1f,T,%.1f,M,%.1f,N,%.1f,K,A", course, course, knots, knots * 1.852));
        log += Format("$GSENSOR,%d,%d,%d\r\n", t % 200 - 100, -(t % 50), 1000 + t % 30);
    }
    return log;
}

// Logs are written once per length and kept for the whole run.
const std::string& LogFile(int seconds) {
    static std::map<int, std::string> files;
    auto it = files.find(seconds);
    if (it != files.end())
        return it->second;
    const std::string path =
        "/tmp/vantrail-bench-" + std::to_string(getpid()) + "-" + std::to_string(seconds) + ".nmea";
    const std::string log = GenerateLog(seconds);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(log.data(), 1, log.size(), f);
    std::fclose(f);
    return files.emplace(seconds, path).first->second;
}

size_t FileSize(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    std::fclose(f);
    return static_cast<size_t>(size);
}

// The least any loader does: read the file and, in one pass, split it into lines, take each
// sentence's exclusive-or checksum and count its fields.
size_t ScanFloor(const std::string& path) {
    constexpr size_t kBlock = 256 * 1024;
    static const std::unique_ptr<char[]> block(new char[kBlock]);
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    size_t lines = 0;
    size_t fields = 0;
    size_t checksums = 0;
    uint8_t sum = 0;
    bool summing = false;
    for (ssize_t n; (n = read(fd, block.get(), kBlock)) > 0;) {
        for (const char* p = block.get(); p < block.get() + n; ++p) {
            const char c = *p;
            if (c == '\n') {
                ++lines;
                checksums += sum;
                sum = 0;
                summing = false;
            } else if (c == '$') {
                summing = true;
            } else if (c == '*') {
                summing = false;
            } else {
                fields += c == ',';
                if (summing)
                    sum ^= static_cast<uint8_t>(c);
            }
        }
    }
    close(fd);
    return lines + fields + checksums;
}

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

template <typename F>
double CpuSecondsOf(F f) {
    const double start = CpuSeconds();
    f();
    return CpuSeconds() - start;
}

void BM_LoadTrack(benchmark::State& state) {
    const std::string& path = LogFile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        TrackEntry* track = LoadTrack(path, "");
        benchmark::DoNotOptimize(track);
        FreeTrack(track);
    }
    const auto bytes = static_cast<double>(FileSize(path));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * FileSize(path)));
    // The floor and the loader again, alternately, so both see the same machine.
    std::vector<double> loader;
    std::vector<double> floor;
    for (int i = 0; i < 5; ++i) {
        loader.push_back(CpuSecondsOf([&] { FreeTrack(LoadTrack(path, "")); }));
        floor.push_back(CpuSecondsOf([&] { benchmark::DoNotOptimize(ScanFloor(path)); }));
    }
    std::sort(loader.begin(), loader.end());
    std::sort(floor.begin(), floor.end());
    state.counters["loader_MBps"] = bytes / loader[2] / 1e6;
    state.counters["floor_MBps"] = bytes / floor[2] / 1e6;
    state.counters["of_floor"] = floor[2] / loader[2];
    // Heap held by the track, per entry (one entry per log second).
    const size_t before = mallinfo2().uordblks;
    TrackEntry* track = LoadTrack(path, "");
    const size_t after = mallinfo2().uordblks;
    FreeTrack(track);
    state.counters["bytes_per_log_s"] =
        static_cast<double>(after - before) / static_cast<double>(state.range(0));
}

void BM_ExportTrackAnalysis(benchmark::State& state) {
    const std::string& path = LogFile(static_cast<int>(state.range(0)));
    TrackEntry* track = LoadTrack(path, "");
    const std::string out = path + ".analysis.txt";
    for (auto _ : state) {
        benchmark::DoNotOptimize(ExportTrackAnalysis(track, out));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * FileSize(out)));
    std::remove(out.c_str());
    FreeTrack(track);
}

void RemoveLogs() {
    for (const int seconds : {3600, 36000, 86400}) std::remove(LogFile(seconds).c_str());
}
}  // namespace

// A short warm-up keeps the first run's page faults and clock ramp out of the figures.
BENCHMARK(BM_LoadTrack)
    ->Arg(3600)
    ->Arg(36000)
    ->Arg(86400)
    ->MinWarmUpTime(0.5)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportTrackAnalysis)
    ->Arg(3600)
    ->Arg(36000)
    ->MinWarmUpTime(0.5)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    RemoveLogs();
    return 0;
}
