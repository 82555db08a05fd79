#pragma once
// The boxes (atoms) of an ISO base media / QuickTime file, one parent's children at a time.
// A walker never yields a box that reaches past its parent: a box whose size runs past the
// parent's end comes out clipped to it and marked truncated, and the walk stops after it; a
// size too small for its own header ends the walk. Size 0 means "to the end of the parent",
// size 1 a 64-bit size after the type. Only headers are read, 8 or 16 bytes a box.

#include <cstdint>
#include <optional>
#include <vector>

#include "telemetry/byte_order.h"
#include "telemetry/file_reader.h"

// Deeper than any real file nests; a crafted file cannot make a recursive search run away.
inline constexpr int kMaxBoxDepth = 16;

struct Box {
    uint32_t type = 0;  // FourCc
    uint64_t offset = 0;
    uint32_t header_size = 0;
    uint64_t payload_size = 0;
    bool truncated = false;  // the declared size ran past the parent: payload_size is clipped
    int depth = 0;           // 0 for a top-level box

    uint64_t payload_offset() const { return offset + header_size; }
    uint64_t end() const { return offset + header_size + payload_size; }
};

class BoxWalker {
public:
    // The top-level boxes of the file.
    explicit BoxWalker(const FileReader& reader);

    // The children of parent, starting skip bytes into its payload (a full box's version
    // and flags, a sample description's count). Yields nothing below kMaxBoxDepth.
    BoxWalker(const FileReader& reader, const Box& parent, uint64_t skip = 0);

    // The next box; false when the parent is done or the walk had to stop.
    bool Next(Box* box);

    // A header that could not be a box ended the walk before the parent's end.
    bool malformed() const { return malformed_; }

private:
    const FileReader& reader_;
    uint64_t pos_;
    uint64_t end_;
    int depth_;
    bool malformed_ = false;
};

// The first child of parent (or of the top level when parent is null) of the given type.
std::optional<Box> FindBox(const FileReader& reader, const Box* parent, uint32_t type,
                           uint64_t skip = 0);

// Descends through types from the top level: {moov, trak} finds the first moov's first trak.
std::optional<Box> FindBoxPath(const FileReader& reader, const std::vector<uint32_t>& types);

// Every child of parent (top level when null), at most limit of them.
std::vector<Box> ListBoxes(const FileReader& reader, const Box* parent, size_t limit = 4096);
