// Reading a clip's Novatek GPS blocks: through the moov's gps index on a sparse 4 GB clip
// (the bytes read are counted by the kernel, /proc/self/io), and by the scan that streams a
// clip without an index, on the same sparse clip and on 256 MB of random "video" bytes.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "telemetry/telemetry.h"

namespace {
constexpr uint64_t kClipBytes = uint64_t{4} << 30;
// 60 Mbit/s: a 4 GB clip is about nine minutes, a block a second.
constexpr uint64_t kBytesPerSecond = 60'000'000 / 8;

void PutBe32(std::string& out, uint32_t v) {
    const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    out.append(b, 4);
}

void PutLe32(std::string& out, uint32_t v) {
    const char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    out.append(b, 4);
}

void PutFloat(std::string& out, float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    PutLe32(out, u);
}

// A newer-layout block of 32 KB, second s of the clip.
std::string Block(int s) {
    std::string b;
    PutBe32(b, 0x8000);
    b += "freeGPS ";
    PutLe32(b, 0x4c);
    for (const uint32_t v :
         {uint32_t(8 + s / 3600), uint32_t(s / 60 % 60), uint32_t(s % 60), 24u, 5u, 6u}) {
        PutLe32(b, v);
    }
    b += "ANE";
    b += '\0';
    for (const float f : {4807.5f + s * 0.01f, 1131.25f, 20.0f, 84.5f}) PutFloat(b, f);
    for (const uint32_t v : {0u, 0u, 256u}) PutLe32(b, v);
    b.resize(0x8000, '\0');
    return b;
}

bool WriteAt(int fd, const std::string& bytes, uint64_t offset) {
    return pwrite(fd, bytes.data(), bytes.size(), off_t(offset)) == ssize_t(bytes.size());
}

// A sparse clip: ftyp, a 64-bit mdat of (mostly unwritten) video with a block every second
// of it, and the moov with its index at the end unless index is false.
std::string SparseClip(bool index) {
    const std::string path = std::string("/tmp/vantrail-bench-") + (index ? "index" : "scan") +
                             "-" + std::to_string(getpid()) + ".mp4";
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    std::string head;
    PutBe32(head, 20);
    head += "ftypisom";
    PutBe32(head, 0);
    head += "isom";
    const uint64_t mdat = kClipBytes - 16384;  // where the moov starts, room for its index
    PutBe32(head, 1);
    head += "mdat";
    PutBe32(head, uint32_t((mdat - 20) >> 32));
    PutBe32(head, uint32_t(mdat - 20));
    bool ok = fd >= 0 && WriteAt(fd, head, 0);
    std::string pairs;
    int count = 0;
    for (uint64_t at = kBytesPerSecond; at + 0x8000 < mdat; at += kBytesPerSecond, ++count) {
        ok = ok && WriteAt(fd, Block(count), at);
        PutBe32(pairs, uint32_t(at));
        PutBe32(pairs, 0x8000);
    }
    std::string moov;
    if (index) {
        std::string gps;
        PutBe32(gps, uint32_t(16 + pairs.size()));
        gps += "gps ";
        PutBe32(gps, 0x101);
        PutBe32(gps, uint32_t(count));
        moov = gps + pairs;
    }
    std::string box;
    PutBe32(box, uint32_t(8 + moov.size()));
    box += "moov";
    ok = ok && WriteAt(fd, box + moov, mdat);
    if (fd >= 0)
        close(fd);
    if (!ok)
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return path;
}

// Index offsets are 32-bit: this clip keeps its blocks below 4 GiB.
static_assert(kClipBytes <= uint64_t{1} << 32);

// 256 MB of random bytes with a block every 7.5 MB, no moov: what the scan must stream
// through in a real clip, already in the page cache.
std::string RandomClip() {
    const std::string path = "/tmp/vantrail-bench-random-" + std::to_string(getpid()) + ".mp4";
    std::mt19937_64 random(7);
    std::string bytes(256u << 20, '\0');
    for (size_t i = 0; i + 8 <= bytes.size(); i += 8) {
        const uint64_t r = random();
        std::memcpy(&bytes[i], &r, 8);
    }
    std::memcpy(&bytes[0], "\0\0\0\x08mdat", 8);
    int s = 0;
    for (size_t at = kBytesPerSecond; at + 0x8000 < bytes.size(); at += kBytesPerSecond)
        bytes.replace(at, 0x8000, Block(s++));
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0 || !WriteAt(fd, bytes, 0))
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
    if (fd >= 0)
        close(fd);
    return path;
}

// Bytes this process has read through system calls so far.
uint64_t BytesRead() {
    FILE* io = std::fopen("/proc/self/io", "r");
    unsigned long long rchar = 0;
    if (io != nullptr) {
        if (std::fscanf(io, "rchar: %llu", &rchar) != 1)
            rchar = 0;
        std::fclose(io);
    }
    return rchar;
}

void Read(benchmark::State& state, const std::string& path) {
    size_t points = 0;
    uint64_t bytes = 0;
    for (auto _ : state) {
        const uint64_t before = BytesRead();
        const Telemetry telemetry = ReadTelemetry(path);
        bytes = BytesRead() - before;
        points = telemetry.points.size();
        benchmark::DoNotOptimize(telemetry);
    }
    state.counters["points"] = double(points);
    state.counters["bytes_read"] = double(bytes);
    state.SetBytesProcessed(int64_t(state.iterations() * bytes));
}

void BM_IndexOf4GbClip(benchmark::State& state) {
    static const std::string path = SparseClip(true);
    Read(state, path);
}

void BM_ScanOf4GbSparseClip(benchmark::State& state) {
    static const std::string path = SparseClip(false);
    Read(state, path);
}

void BM_ScanOf256MbRandomClip(benchmark::State& state) {
    static const std::string path = RandomClip();
    Read(state, path);
}
}  // namespace

BENCHMARK(BM_IndexOf4GbClip)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_ScanOf4GbSparseClip)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_ScanOf256MbRandomClip)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (const char* kind : {"index", "scan", "random"}) {
        const std::string path =
            std::string("/tmp/vantrail-bench-") + kind + "-" + std::to_string(getpid()) + ".mp4";
        unlink(path.c_str());
    }
    return 0;
}
