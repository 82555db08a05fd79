// LoadTrack and ExportTrackAnalysis on generated camera logs of 1, 10 and 24 hours, LoadTrack
// against the floor of one plain pass over the same bytes, and the whole vantrail-track
// process as a user runs it.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
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

// Bytes of this process in memory, counted page by page (statm's counters are approximate).
double ResidentBytes() {
    std::ifstream rollup("/proc/self/smaps_rollup");
    for (std::string key; rollup >> key;) {
        double kb = 0;
        if (key == "Rss:" && rollup >> kb)
            return kb * 1024;
    }
    return 0;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
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
    // The floor and the loader again, alternately, so both see the same machine. Each load
    // maps its track afresh, so every one pays for the pages it touches, as a first one does.
    std::vector<double> load;
    std::vector<double> floor;
    for (int i = 0; i < 5; ++i) {
        load.push_back(CpuSecondsOf([&] { FreeTrack(LoadTrack(path, "")); }));
        floor.push_back(CpuSecondsOf([&] { benchmark::DoNotOptimize(ScanFloor(path)); }));
    }
    state.counters["MBps"] = bytes / Median(load) / 1e6;
    state.counters["floor_MBps"] = bytes / Median(floor) / 1e6;
    state.counters["of_floor"] = Median(floor) / Median(load);
    // Memory the track holds, what freeing it gives back, per entry (one per log second).
    TrackEntry* track = LoadTrack(path, "");
    const double held = ResidentBytes();
    FreeTrack(track);
    state.counters["bytes_per_log_s"] =
        (held - ResidentBytes()) / static_cast<double>(state.range(0));
}

// User and system CPU seconds of one run of the command-line tool, its output discarded; a
// negative number when it cannot be started.
double ToolCpuSeconds(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int error = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    rusage usage{};
    int status = 0;
    if (error != 0 || wait4(pid, &status, 0, &usage) != pid || status != 0)
        return -1;
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// `vantrail-track LOG --summary` as a user runs it: loading, the driving events, the summary
// and the freeing at exit, net of the same command on a one-line log (the start-up).
void BM_TrackToolSummary(benchmark::State& state) {
    const std::string& path = LogFile(static_cast<int>(state.range(0)));
    const std::string one_line = path + ".one-line.nmea";
    std::FILE* f = std::fopen(one_line.c_str(), "wb");
    std::fputs("$GSENSOR,1,2,3\r\n", f);
    std::fclose(f);
    std::vector<double> net;
    for (auto _ : state) {
        const double log = ToolCpuSeconds({VANTRAIL_TRACK_TOOL, path, "--summary"});
        const double start = ToolCpuSeconds({VANTRAIL_TRACK_TOOL, one_line, "--summary"});
        if (log < 0 || start < 0) {
            state.SkipWithError("cannot run " VANTRAIL_TRACK_TOOL);
            break;
        }
        net.push_back(log - start);
    }
    std::remove(one_line.c_str());
    if (!net.empty())
        state.counters["MBps"] = static_cast<double>(FileSize(path)) / Median(net) / 1e6;
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
BENCHMARK(BM_TrackToolSummary)->Arg(36000)->Iterations(7)->Unit(benchmark::kMillisecond);
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
