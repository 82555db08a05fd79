#include "telemetry/novatek_gps.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <memory>

#include "telemetry/byte_order.h"
#include "telemetry/per_second.h"

namespace {
constexpr char kSignature[] = "freeGPS ";
constexpr size_t kSignatureSize = sizeof kSignature - 1;
// Cameras that wrap each block in an outer box put the signature this far in at most.
constexpr size_t kWrapSlack = 32;
// Longer than any clip's index: twelve days of seconds.
constexpr uint32_t kMaxIndexEntries = 1u << 20;
// The scan's piece of the file; large, so that a 4 GB clip is a thousand reads.
constexpr size_t kScanChunk = size_t{4} << 20;

constexpr uint8_t kCountingAxes[12] = {1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0};

bool Matches(const uint8_t* block, size_t size, size_t at, const char* text) {
    const size_t n = std::strlen(text);
    return at + n <= size && std::memcmp(block + at, text, n) == 0;
}

bool IsStatus(uint8_t c) {
    return c == 'A' || c == 'V';
}

// Status and hemisphere bytes where a record keeps them; a void record may leave the
// hemispheres zero.
bool HasSignature(const uint8_t* record, size_t size) {
    if (size < 0x1b || !IsStatus(record[0x18]))
        return false;
    const uint8_t ns = record[0x19];
    const uint8_t ew = record[0x1a];
    if ((ns == 'N' || ns == 'S') && (ew == 'E' || ew == 'W'))
        return true;
    return record[0x18] == 'V' && ns == 0 && ew == 0;
}

// A 20-byte field holding text coordinates (base64 or plain decimal) instead of a float.
bool TextCoordinate(const uint8_t* field) {
    size_t n = 0;
    while (n < 20 && field[n] != 0) ++n;
    for (size_t i = n; i < 20; ++i) {
        if (field[i] != 0)
            return false;
    }
    if (n < 3)
        return false;
    const bool base64 = std::all_of(field, field + n, [](uint8_t c) {
        return std::isalnum(c) || c == '+' || c == '/' || c == '=';
    });
    const bool decimal =
        std::all_of(field, field + n, [](uint8_t c) { return std::isdigit(c) || c == '.'; });
    return base64 || decimal;
}

// The encrypted and obfuscated variants known to share the block's signature; their bytes
// must not be read as either layout.
const char* EncryptedVariant(const uint8_t* block, size_t size) {
    if (Matches(block, size, 18, "\xaa\xaa\xf2\xe1\xf0\xee\x54\x54"))
        return "XOR-coded text";
    for (const size_t at : {16, 48, 80}) {
        if (Matches(block, size, at, "LIGOGPSINFO"))
            return "LIGOGPSINFO records";
    }
    if (Matches(block, size, 60, "4W`b]S<"))
        return "shifted-character text";
    if (Matches(block, size, 0x45, "ATC"))
        return "ATC ring records";
    return nullptr;
}

bool Plausible(const TelemetryPoint& p) {
    return p.year >= 2000 && p.year <= 2099 && p.month >= 1 && p.month <= 12 && p.day >= 1 &&
           p.day <= 31 && p.hour <= 23 && p.minute <= 59 && p.second <= 60;
}

// DDMM.mmmm within range, minutes below 60.
bool Ddmm(float value, double max_degrees) {
    if (!std::isfinite(value) || value < 0)
        return false;
    const double degrees = std::trunc(value / 100.0);
    return degrees <= max_degrees && value - degrees * 100.0 < 60.0;
}

}  // namespace

std::string BaseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

namespace {

// The movie's duration in whole seconds from mvhd; -1 when it does not say.
int64_t MovieSeconds(const FileReader& reader, const Box& moov) {
    const std::optional<Box> mvhd = FindBox(reader, &moov, FourCc("mvhd"));
    uint8_t b[32];
    if (!mvhd || mvhd->payload_size < 32 || !reader.Read(mvhd->payload_offset(), b, 32))
        return -1;
    const bool wide = b[0] == 1;
    const uint32_t timescale = wide ? Be32(b + 20) : Be32(b + 12);
    const uint64_t duration = wide ? Be64(b + 24) : Be32(b + 16);
    return timescale == 0 ? -1 : static_cast<int64_t>(duration / timescale);
}

// Why the index cannot be trusted, or empty when it can: every entry must lie in the file
// and hold a block, and there must be about one a second of the movie.
std::string ReadThroughIndex(const FileReader& reader, const Box& moov, const Box& index,
                             Telemetry& out, NovatekTally& tally) {
    uint8_t head[8];
    if (index.payload_size < 8 || !reader.Read(index.payload_offset(), head, 8))
        return "empty";
    const uint32_t count = Be32(head + 4);
    if (count == 0)
        return "empty";
    // A count the box cannot hold: the file ends inside the index.
    if (count > (index.payload_size - 8) / 8 || count > kMaxIndexEntries)
        return "cut short";
    if (const int64_t seconds = MovieSeconds(reader, moov); seconds > int64_t{count} + 2)
        return "short of the movie's length";
    const std::vector<uint8_t> entries = reader.ReadBytes(index.payload_offset() + 8, 8 * count);
    if (entries.size() != 8 * size_t{count})
        return "cut short";
    uint8_t bytes[kNovatekBlockHead + kWrapSlack];
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t offset = Be32(&entries[8 * i]);
        const uint64_t size = Be32(&entries[8 * i + 4]);
        if (size < 12 || offset > reader.size() || size > reader.size() - offset)
            return "pointing outside the file";
        const size_t n = reader.ReadSome(offset, bytes, std::min<uint64_t>(size, sizeof bytes));
        const uint8_t* found = nullptr;
        for (size_t at = 4; at + kSignatureSize <= std::min(n, kWrapSlack + kSignatureSize); ++at) {
            if (std::memcmp(bytes + at, kSignature, kSignatureSize) == 0) {
                found = bytes + at - 4;
                break;
            }
        }
        if (found == nullptr)
            return "pointing at something else";
        tally.Add(DecodeNovatekBlock(found, n - static_cast<size_t>(found - bytes)),
                  int64_t{i} * 1000, out.points);
    }
    return {};
}
}  // namespace

void NovatekTally::Add(const NovatekBlock& block, int64_t clip_ms,
                       std::vector<TelemetryPoint>& points) {
    TelemetryPoint point;
    if (block.kind == NovatekBlockKind::kRecord) {
        ++records;
        point = block.point;
    } else if (block.kind == NovatekBlockKind::kEncrypted) {
        encrypted = block.variant;
    } else {
        ++other;
    }
    point.clip_ms = clip_ms;
    AppendRecord(points, point);
}

void NovatekTally::Finish(const std::string& path, Telemetry& out) const {
    if (records > 0)
        return;
    out.points.clear();
    if (encrypted != nullptr) {
        out.notes.push_back(BaseName(path) + ": GPS blocks in an encrypted layout (" + encrypted +
                            "), skipped");
    } else if (other > 0) {
        out.notes.push_back(BaseName(path) + ": GPS blocks in an unknown layout, skipped");
    }
}

NovatekBlock DecodeNovatekRecord(const uint8_t* record, size_t size, bool accel) {
    NovatekBlock block;
    if (size < 0x2c || !HasSignature(record, size))
        return block;
    block.kind = NovatekBlockKind::kRecord;
    TelemetryPoint& p = block.point;
    p.hour = static_cast<int>(std::min<uint32_t>(Le32(record), 99));
    p.minute = static_cast<int>(std::min<uint32_t>(Le32(record + 0x04), 99));
    p.second = static_cast<int>(std::min<uint32_t>(Le32(record + 0x08), 99));
    const uint32_t year = Le32(record + 0x0c);
    p.year = static_cast<int>(year < 100 ? year + 2000 : std::min<uint32_t>(year, 9999));
    p.month = static_cast<int>(std::min<uint32_t>(Le32(record + 0x10), 99));
    p.day = static_cast<int>(std::min<uint32_t>(Le32(record + 0x14), 99));
    p.has_time = Plausible(p);

    const float lat = LeFloat(record + 0x1c);
    const float lon = LeFloat(record + 0x20);
    const char ns = static_cast<char>(record[0x19]);
    const char ew = static_cast<char>(record[0x1a]);
    if (record[0x18] == 'A' && ns != 0 && Ddmm(lat, 90) && Ddmm(lon, 180)) {
        p.valid = true;
        p.lat = DdmmToDegrees(lat) * (ns == 'S' ? -1 : 1);
        p.lon = DdmmToDegrees(lon) * (ew == 'W' ? -1 : 1);
        const float knots = LeFloat(record + 0x24);
        if (std::isfinite(knots) && knots >= 0)
            p.speed_kmh = knots * kKmhPerKnot;
        const float course = LeFloat(record + 0x28);
        if (std::isfinite(course) && course >= 0 && course <= 360)
            p.course = course;
    }
    // Unset axes are zero, or count 1 to 6 in 16-bit steps.
    if (accel && size >= 0x38 &&
        std::any_of(record + 0x2c, record + 0x38, [](uint8_t c) { return c != 0; }) &&
        std::memcmp(record + 0x2c, kCountingAxes, sizeof kCountingAxes) != 0) {
        p.has_accel = true;
        p.ax = Le32Signed(record + 0x2c) / 256.0;
        p.ay = Le32Signed(record + 0x30) / 256.0;
        p.az = Le32Signed(record + 0x34) / 256.0;
    }
    return block;
}

NovatekBlock DecodeNovatekBlock(const uint8_t* block, size_t size) {
    if (const char* variant = EncryptedVariant(block, size)) {
        NovatekBlock encrypted;
        encrypted.kind = NovatekBlockKind::kEncrypted;
        encrypted.variant = variant;
        return encrypted;
    }
    if (size > 0x10 && HasSignature(block + 0x10, size - 0x10)) {
        // The same signature with coordinates as text (base64-coded and encrypted, or plain)
        // where the floats belong.
        if (size >= 0x78 && TextCoordinate(block + 0x2c) && TextCoordinate(block + 0x40)) {
            NovatekBlock encrypted;
            encrypted.kind = NovatekBlockKind::kEncrypted;
            encrypted.variant = "text coordinates";
            return encrypted;
        }
        return DecodeNovatekRecord(block + 0x10, size - 0x10, true);
    }
    if (size > 0x30 && HasSignature(block + 0x30, size - 0x30)) {
        // A fix whose latitude float is zero and whose doubles follow is the variant with
        // encrypted coordinates.
        if (block[0x48] == 'A' && size >= 0x60 &&
            std::all_of(block + 0x4b, block + 0x50, [](uint8_t c) { return c == 0; })) {
            NovatekBlock encrypted;
            encrypted.kind = NovatekBlockKind::kEncrypted;
            encrypted.variant = "encrypted coordinates";
            return encrypted;
        }
        return DecodeNovatekRecord(block + 0x30, size - 0x30, false);
    }
    return {};
}

size_t ScanNovatekBlocks(const FileReader& reader, const std::string& path, Telemetry& out) {
    reader.AdviseSequential();
    const size_t piece = static_cast<size_t>(std::min<uint64_t>(kScanChunk, reader.size()));
    const auto buffer = std::make_unique_for_overwrite<uint8_t[]>(piece);
    NovatekTally tally;
    size_t found = 0;
    uint64_t next_hit = 0;  // signatures before this were handled in an earlier piece
    for (uint64_t start = 0; start < reader.size();) {
        const size_t n = reader.ReadSome(start, buffer.get(), piece);
        if (n == 0)
            break;
        const bool last = start + n >= reader.size();
        const uint8_t* data = buffer.get();
        for (size_t at = 0; at + kSignatureSize <= n;) {
            const void* hit = memmem(data + at, n - at, kSignature, kSignatureSize);
            if (hit == nullptr)
                break;
            const size_t pos = static_cast<size_t>(static_cast<const uint8_t*>(hit) - data);
            at = pos + 1;
            // A signature this close to a piece's start was taken by the piece before.
            if (start + pos < next_hit || pos < 4)
                continue;
            // The block's head must be in this piece, unless the file ends first; else the
            // next piece, which starts before the block, takes it.
            const size_t block = pos - 4;
            if (block + kNovatekBlockHead > n && !last)
                break;
            next_hit = start + pos + 1;
            tally.Add(DecodeNovatekBlock(data + block, std::min(n - block, kNovatekBlockHead)),
                      int64_t(found) * 1000, out.points);
            ++found;
        }
        // A short read before the end is a read error (or a file cut while read).
        if (last || n < piece)
            break;
        start += n - kNovatekBlockHead - kSignatureSize;
    }
    tally.Finish(path, out);
    return found;
}

bool ProbeNovatekIndex(const TelemetrySource& source) {
    return source.moov && FindBox(source.reader, &*source.moov, FourCc("gps ")).has_value();
}

bool ReadNovatekIndex(const TelemetrySource& source, Telemetry& out) {
    const std::optional<Box> index = FindBox(source.reader, &*source.moov, FourCc("gps "));
    NovatekTally tally;
    const std::string problem = ReadThroughIndex(source.reader, *source.moov, *index, out, tally);
    if (problem.empty()) {
        tally.Finish(source.path, out);
        return true;
    }
    out.points.clear();
    out.notes.push_back(BaseName(source.path) + ": the gps index is " + problem +
                        "; scanning the clip for its GPS blocks");
    if (!ScanNovatekBlocks(source.reader, source.path, out))
        out.notes.push_back(BaseName(source.path) + ": no GPS blocks found");
    return true;
}

bool ProbeNovatekScan(const TelemetrySource& source) {
    return !source.top.empty();
}

bool ReadNovatekScan(const TelemetrySource& source, Telemetry& out) {
    const size_t found = ScanNovatekBlocks(source.reader, source.path, out);
    if (found == 0)
        return false;
    out.notes.push_back(BaseName(source.path) + ": " + std::to_string(found) +
                        " GPS blocks found by scanning the clip (it has no gps index)");
    return true;
}
