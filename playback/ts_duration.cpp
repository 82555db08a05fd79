#include "playback/ts_duration.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <set>

namespace {

constexpr size_t kPacket = 188;
constexpr uint8_t kSync = 0x47;
constexpr size_t kWindow = 1 << 20;  // bytes read at each end of a large file
constexpr int64_t kPtsWrap = int64_t{1} << 33;
constexpr int kSyncRun = 5;  // packets in a row that must start with the sync byte

// Offset of the first packet: the sync byte repeating every 188 bytes.
long FindSync(const std::vector<uint8_t>& data) {
    for (size_t start = 0; start < kPacket && start < data.size(); ++start) {
        int run = 0;
        for (size_t p = start; p < data.size() && run < kSyncRun && data[p] == kSync; p += kPacket)
            ++run;
        const size_t packets = (data.size() - start) / kPacket;
        if (run == kSyncRun || (run > 0 && static_cast<size_t>(run) == packets))
            return static_cast<long>(start);
    }
    return -1;
}

// Presentation time stamps (90 kHz) of the PES packets that start in data, by PID, in file
// order.
std::map<int, std::vector<int64_t>> StampsByPid(const std::vector<uint8_t>& data) {
    std::map<int, std::vector<int64_t>> stamps;
    const long sync = FindSync(data);
    if (sync < 0)
        return stamps;
    for (size_t off = static_cast<size_t>(sync); off + kPacket <= data.size(); off += kPacket) {
        const uint8_t* p = &data[off];
        if (p[0] != kSync || (p[1] & 0x40) == 0)  // lost sync, or no payload unit start
            continue;
        const int pid = ((p[1] & 0x1F) << 8) | p[2];
        const int adaptation = (p[3] >> 4) & 3;
        if ((adaptation & 1) == 0)
            continue;
        size_t pes = 4;
        if (adaptation & 2)
            pes += 1 + p[4];
        if (pes + 14 > kPacket)
            continue;
        const uint8_t* h = p + pes;
        const bool audioOrVideo = h[3] >= 0xC0 && h[3] <= 0xEF;
        if (h[0] != 0 || h[1] != 0 || h[2] != 1 || !audioOrVideo || (h[7] & 0x80) == 0)
            continue;
        const int64_t pts = (int64_t{h[9] & 0x0E} << 29) | (int64_t{h[10]} << 22) |
                            (int64_t{h[11] & 0xFE} << 14) | (int64_t{h[12]} << 7) |
                            (int64_t{h[13]} >> 1);
        stamps[pid].push_back(pts);
    }
    return stamps;
}

// Time stamps relative to a reference, unwrapped across the 33-bit roll-over.
int64_t Since(int64_t pts, int64_t reference) {
    return ((pts - reference) % kPtsWrap + kPtsWrap) % kPtsWrap;
}

// A difference of two unwrapped stamps as the nearer of its two readings.
int64_t Signed(int64_t since) {
    return since >= kPtsWrap / 2 ? since - kPtsWrap : since;
}

}  // namespace

int64_t TransportStreamDurationMs(const std::vector<uint8_t>& head,
                                  const std::vector<uint8_t>& tail) {
    const auto first = StampsByPid(head);
    const auto last = tail.empty() ? first : StampsByPid(tail);
    int64_t best = -1;
    for (const auto& [pid, headStamps] : first) {
        const auto it = last.find(pid);
        if (it == last.end() || headStamps.empty() || it->second.empty())
            continue;
        // Video frames arrive out of presentation order: start from the earliest of the
        // first frames and end at the latest, not at the first and last in the file.
        int64_t earliest = 0;
        for (size_t i = 1; i < headStamps.size() && i < 32; ++i)
            earliest = std::min(earliest, Signed(Since(headStamps[i], headStamps[0])));
        const int64_t reference = Since(headStamps[0] + earliest, 0);
        std::set<int64_t> ends;
        for (const int64_t pts : it->second) ends.insert(Since(pts, reference));
        int64_t step = 0;
        for (auto a = ends.begin(), b = std::next(a); b != ends.end(); ++a, ++b)
            if (step == 0 || *b - *a < step)
                step = *b - *a;
        best = std::max(best, *ends.rbegin() + step);
    }
    return best < 0 ? -1 : best / 90;
}

int64_t TransportStreamDurationMs(const std::string& path) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file)
        return -1;
    const auto size = static_cast<size_t>(file.tellg());
    auto read = [&file](size_t from, size_t count) {
        std::vector<uint8_t> bytes(count);
        file.seekg(static_cast<std::streamoff>(from));
        file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
        bytes.resize(static_cast<size_t>(file.gcount()));
        return bytes;
    };
    if (size <= 2 * kWindow)
        return TransportStreamDurationMs(read(0, size), {});
    return TransportStreamDurationMs(read(0, kWindow), read(size - kWindow, kWindow));
}
