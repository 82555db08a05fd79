#pragma once
// Novatek-style GPS records: one block a second, written into the clip as a `free` box whose
// payload begins "GPS " (so the bytes "freeGPS " sit 4 bytes into the block), and found
// through the moov's `gps ` index (version, count, then big-endian offset and size pairs) or,
// when that index is missing, broken or short, by scanning the file for those bytes.
//
// Every number in a record is little-endian; the record's fields, from its first:
//   +0x00 hour, +0x04 minute, +0x08 second, +0x0c year (2-digit or full), +0x10 month,
//   +0x14 day (six uint32), +0x18 status 'A' or 'V', +0x19 'N' or 'S', +0x1a 'E' or 'W',
//   +0x1c latitude, +0x20 longitude (unsigned DDMM.mmmm floats), +0x24 speed (knots, float),
//   +0x28 course (degrees, float); the newer layout adds +0x2c x, y, z (int32, 1/256 g).
// The older layout puts the record at 0x30 of the block, the newer at 0x10; which one a block
// holds is told by where its status and hemisphere bytes sit. Blocks of neither layout give
// no fix; the known encrypted or obfuscated variants are recognised and left undecoded.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "telemetry/telemetry.h"

enum class NovatekBlockKind {
    kRecord,     // one of the two layouts: point holds what the record gives
    kEmpty,      // no record in a known layout (cold start, or bytes we cannot place)
    kEncrypted,  // a known encrypted or obfuscated variant; variant names it
};

struct NovatekBlock {
    NovatekBlockKind kind = NovatekBlockKind::kEmpty;
    TelemetryPoint point;  // kRecord only
    const char* variant = "";
};

// Bytes of a block that decoding looks at; reading this many from each block is enough.
inline constexpr size_t kNovatekBlockHead = 128;

// A block from its size word on (the bytes "freeGPS " at 4); size may be short of the head.
NovatekBlock DecodeNovatekBlock(const uint8_t* block, size_t size);

// A record from its hour field on; accel says whether the record may carry the three axes.
NovatekBlock DecodeNovatekRecord(const uint8_t* record, size_t size, bool accel);

// The name of a file without its folder, for notes.
std::string BaseName(const std::string& path);

// Gathers the blocks of one clip, one point (or a record and its reading) per block. A clip
// none of whose blocks is in a known layout gives no points, only a note saying why.
struct NovatekTally {
    size_t records = 0;
    size_t other = 0;
    const char* encrypted = nullptr;

    void Add(const NovatekBlock& block, int64_t clip_ms, std::vector<TelemetryPoint>& points);
    void Finish(const std::string& path, Telemetry& out) const;
};

// The families' rows: through the moov's index (scanning when it fails), and the scan alone
// for files that have no moov or no index.
bool ProbeNovatekIndex(const TelemetrySource& source);
bool ReadNovatekIndex(const TelemetrySource& source, Telemetry& out);
bool ProbeNovatekScan(const TelemetrySource& source);
bool ReadNovatekScan(const TelemetrySource& source, Telemetry& out);

// The scan on its own: the blocks of the whole file, streamed once in large pieces; the
// number of blocks found.
size_t ScanNovatekBlocks(const FileReader& reader, const std::string& path, Telemetry& out);
