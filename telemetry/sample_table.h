#pragma once
// The tracks of a movie and where the samples of one of them lie, from its sample tables:
// sizes (stsz), chunk offsets (stco or co64), samples per chunk (stsc), durations (stts) and
// the media timescale (mdhd). Tables that disagree are read as far as they agree: no sample
// comes out that the size table does not size, that no chunk holds, or that lies outside the
// file. Edit lists are not applied: times are media times from the track's first sample.

#include <cstdint>
#include <vector>

#include "telemetry/box_walker.h"
#include "telemetry/file_reader.h"

// More samples than a day of any metadata track; bounds memory on a crafted table.
inline constexpr size_t kMaxTableSamples = size_t{1} << 22;

struct MediaTrack {
    Box trak;
    uint32_t handler = 0;    // hdlr's handler type: vide, soun, text, sbtl, meta, ...
    uint32_t format = 0;     // the first sample description's format: gpmd, tx3g, text, ...
    uint32_t timescale = 0;  // mdhd; 0 when missing
    Box stbl;                // the sample table box; payload_size 0 when missing
};

struct MediaSample {
    uint64_t offset = 0;
    uint32_t size = 0;
    int64_t time_ms = 0;  // start of the sample in media time; -1 without a timescale
};

// Every trak of moov, in file order, with what identifies it.
std::vector<MediaTrack> ListTracks(const FileReader& reader, const Box& moov);

// The samples of track in decoding order.
std::vector<MediaSample> ReadSamples(const FileReader& reader, const MediaTrack& track);
