#include "telemetry/novatek_ts.h"

#include <algorithm>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include "telemetry/byte_order.h"
#include "telemetry/novatek_gps.h"

namespace {
constexpr uint8_t kSync = 0x47;
constexpr size_t kPacket = 188;
constexpr uint16_t kPatPid = 0;
constexpr uint16_t kNullPid = 0x1fff;
// Whole packets of either size per read.
constexpr size_t kChunkPackets = 188 * 192 * 4 * 29;
// A record and its camera header fit easily; longer PES packets are not records.
constexpr size_t kMaxPes = 1024;
constexpr size_t kCameraHeader = 164;

// 188 or 192 when the file begins with three packets of that size; 0 otherwise.
size_t PacketStride(const FileReader& reader) {
    for (const size_t stride : {size_t{188}, size_t{192}}) {
        const size_t lead = stride - kPacket;
        bool synced = true;
        for (size_t k = 0; k < 3 && synced; ++k) {
            uint8_t byte = 0;
            synced = reader.Read(lead + k * stride, &byte, 1) && byte == kSync;
        }
        if (synced)
            return stride;
    }
    return 0;
}

// The PIDs a PSI section lists: programs' map PIDs for a PAT, elementary streams for a PMT.
void ListedPids(const uint8_t* payload, size_t size, bool pat, std::unordered_set<uint16_t>& out) {
    if (size < 1 || size < 1u + payload[0] + 8u)
        return;
    const uint8_t* section = payload + 1 + payload[0];  // past the pointer field
    size -= 1 + payload[0];
    const size_t length = std::min<size_t>(((section[1] & 0x0f) << 8 | section[2]) + 3, size);
    if (length < 12)
        return;
    const size_t end = length - 4;  // the CRC
    if (pat) {
        for (size_t at = 8; at + 4 <= end; at += 4) {
            if (Be16(section + at) != 0)
                out.insert(Be16(section + at + 2) & 0x1fff);
        }
        return;
    }
    size_t at = 12 + ((section[10] & 0x0f) << 8 | section[11]);
    while (at + 5 <= end) {
        out.insert(Be16(section + at + 1) & 0x1fff);
        at += 5 + ((section[at + 3] & 0x0f) << 8 | section[at + 4]);
    }
}

// The payload of a whole PES packet, or null when it is not one the record could be in:
// audio and video streams are the program's own.
const uint8_t* PesPayload(const std::vector<uint8_t>& pes, size_t* size) {
    if (pes.size() < 9 || pes[0] != 0 || pes[1] != 0 || pes[2] != 1)
        return nullptr;
    const uint8_t stream = pes[3];
    if (stream >= 0xc0 && stream <= 0xef)
        return nullptr;
    // These streams have no optional header.
    const bool bare = stream == 0xbc || stream == 0xbe || stream == 0xbf || stream == 0xf0 ||
                      stream == 0xf1 || stream == 0xf2 || stream == 0xf8 || stream == 0xff;
    size_t start = bare ? 6 : 9 + size_t{pes[8]};
    size_t end = pes.size();
    if (const size_t length = Be16(pes.data() + 4); length != 0)
        end = std::min(end, 6 + length);
    if (start >= end)
        return nullptr;
    *size = end - start;
    return pes.data() + start;
}

class RecordCollector {
public:
    RecordCollector(Telemetry& out) : out_(out) {}

    void Packet(const uint8_t* p) {
        const uint16_t pid = Be16(p + 1) & 0x1fff;
        const bool start = (p[1] & 0x40) != 0;
        const uint8_t control = (p[3] >> 4) & 3;
        if (pid == kNullPid || (control & 1) == 0)
            return;
        size_t at = 4;
        if (control == 3)
            at += 1 + size_t{p[4]};
        if (at >= kPacket)
            return;
        const uint8_t* payload = p + at;
        const size_t size = kPacket - at;
        if (pid == kPatPid || maps_.count(pid) != 0) {
            if (start)
                ListedPids(payload, size, pid == kPatPid, pid == kPatPid ? maps_ : listed_);
            return;
        }
        if (listed_.count(pid) != 0)
            return;
        std::vector<uint8_t>& pes = pending_[pid];
        if (start) {
            Flush(pes);
            pes.clear();
        } else if (pes.empty()) {
            return;  // the middle of a packet whose start we did not see
        }
        if (pes.size() + size <= kMaxPes)
            pes.insert(pes.end(), payload, payload + size);
    }

    void Finish(const std::string& path) {
        for (auto& [pid, pes] : pending_) Flush(pes);
        tally_.Finish(path, out_);
    }

    size_t found() const { return found_; }

private:
    void Flush(const std::vector<uint8_t>& pes) {
        size_t size = 0;
        const uint8_t* payload = PesPayload(pes, &size);
        if (payload == nullptr)
            return;
        NovatekBlock record = DecodeNovatekRecord(payload, size, true);
        if (record.kind != NovatekBlockKind::kRecord && size > kCameraHeader)
            record = DecodeNovatekRecord(payload + kCameraHeader, size - kCameraHeader, true);
        // Other private data is no second of ours.
        if (record.kind != NovatekBlockKind::kRecord)
            return;
        tally_.Add(record, int64_t(found_) * 1000, out_.points);
        ++found_;
    }

    Telemetry& out_;
    NovatekTally tally_;
    size_t found_ = 0;
    std::unordered_set<uint16_t> maps_;
    std::unordered_set<uint16_t> listed_;
    std::unordered_map<uint16_t, std::vector<uint8_t>> pending_;
};
}  // namespace

bool ProbeNovatekTs(const TelemetrySource& source) {
    return source.top.empty() && PacketStride(source.reader) != 0;
}

bool ReadNovatekTs(const TelemetrySource& source, Telemetry& out) {
    const FileReader& reader = source.reader;
    const size_t stride = PacketStride(reader);
    const size_t lead = stride - kPacket;
    reader.AdviseSequential();
    const size_t chunk =
        static_cast<size_t>(std::min<uint64_t>(kChunkPackets / stride * stride, reader.size()));
    const auto buffer = std::make_unique_for_overwrite<uint8_t[]>(chunk);
    RecordCollector records(out);
    for (uint64_t start = 0; start < reader.size(); start += chunk) {
        const size_t n = reader.ReadSome(start, buffer.get(), chunk);
        for (size_t at = 0; at + stride <= n; at += stride) {
            // A lost sync ends the stream as far as we read it.
            if (buffer[at + lead] != kSync) {
                start = reader.size();
                break;
            }
            records.Packet(buffer.get() + at + lead);
        }
        if (n < chunk)
            break;
    }
    records.Finish(source.path);
    return records.found() > 0;
}
