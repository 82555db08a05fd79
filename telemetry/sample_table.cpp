#include "telemetry/sample_table.h"

#include <algorithm>
#include <optional>

namespace {
// A table box's payload, at most this much of it; a real metadata track's tables are far
// smaller, and a video track's stsz for a day of 60 fps is 20 MB.
constexpr uint64_t kMaxTableBytes = uint64_t{64} << 20;

std::vector<uint8_t> Payload(const FileReader& reader, const Box& box) {
    return reader.ReadBytes(box.payload_offset(),
                            static_cast<size_t>(std::min(box.payload_size, kMaxTableBytes)));
}

// A full box's entry count and the entries it really holds, each entry_size bytes after the
// 8-byte version, flags and count (or after extra more bytes of header).
size_t EntryCount(const std::vector<uint8_t>& p, size_t entry_size, size_t extra = 0) {
    const size_t header = 8 + extra;
    if (p.size() < header)
        return 0;
    const size_t declared = Be32(p.data() + 4 + extra);
    return std::min({declared, (p.size() - header) / entry_size, kMaxTableSamples});
}

std::optional<Box> Child(const FileReader& reader, const std::optional<Box>& parent,
                         const char (&type)[5]) {
    return parent ? FindBox(reader, &*parent, FourCc(type)) : std::nullopt;
}

int64_t ToMs(uint64_t ticks, uint32_t timescale) {
    if (timescale == 0)
        return -1;
    const uint64_t whole = ticks / timescale;
    const uint64_t part = ticks % timescale;
    if (whole > uint64_t{INT64_MAX} / 1000 - 1)
        return INT64_MAX;
    return static_cast<int64_t>(whole * 1000 + part * 1000 / timescale);
}
}  // namespace

std::vector<MediaTrack> ListTracks(const FileReader& reader, const Box& moov) {
    std::vector<MediaTrack> tracks;
    BoxWalker walker(reader, moov);
    Box trak;
    while (walker.Next(&trak)) {
        if (trak.type != FourCc("trak"))
            continue;
        MediaTrack track;
        track.trak = trak;
        const std::optional<Box> mdia = FindBox(reader, &trak, FourCc("mdia"));
        uint8_t bytes[24];
        if (const auto hdlr = Child(reader, mdia, "hdlr");
            hdlr && reader.Read(hdlr->payload_offset(), bytes, 12) && hdlr->payload_size >= 12) {
            track.handler = Be32(bytes + 8);
        }
        if (const auto mdhd = Child(reader, mdia, "mdhd")) {
            // Version 1 has 64-bit creation and modification times before the timescale.
            const size_t n = reader.ReadSome(mdhd->payload_offset(), bytes,
                                             std::min<uint64_t>(mdhd->payload_size, 24));
            const size_t at = n > 0 && bytes[0] == 1 ? 20 : 12;
            if (n >= at + 4)
                track.timescale = Be32(bytes + at);
        }
        const std::optional<Box> stbl = Child(reader, Child(reader, mdia, "minf"), "stbl");
        if (stbl) {
            track.stbl = *stbl;
            // The first sample description: count, then size and format.
            if (const auto stsd = FindBox(reader, &*stbl, FourCc("stsd"));
                stsd && stsd->payload_size >= 16 &&
                reader.Read(stsd->payload_offset(), bytes, 16)) {
                track.format = Be32(bytes + 12);
            }
        }
        tracks.push_back(track);
    }
    return tracks;
}

std::vector<MediaSample> ReadSamples(const FileReader& reader, const MediaTrack& track) {
    std::vector<MediaSample> samples;
    if (track.stbl.payload_size == 0)
        return samples;
    std::vector<uint8_t> stsz, chunks, stsc, stts;
    bool co64 = false;
    BoxWalker walker(reader, track.stbl);
    Box box;
    while (walker.Next(&box)) {
        if (box.type == FourCc("stsz") && stsz.empty())
            stsz = Payload(reader, box);
        else if ((box.type == FourCc("stco") || box.type == FourCc("co64")) && chunks.empty()) {
            chunks = Payload(reader, box);
            co64 = box.type == FourCc("co64");
        } else if (box.type == FourCc("stsc") && stsc.empty())
            stsc = Payload(reader, box);
        else if (box.type == FourCc("stts") && stts.empty())
            stts = Payload(reader, box);
    }

    // Sizes: one for all, or one each.
    if (stsz.size() < 12)
        return samples;
    const uint32_t fixed_size = Be32(stsz.data() + 4);
    const size_t sample_count = fixed_size != 0
                                    ? std::min<size_t>(Be32(stsz.data() + 8), kMaxTableSamples)
                                    : EntryCount(stsz, 4, 4);
    const auto size_of = [&](size_t i) {
        return fixed_size != 0 ? fixed_size : Be32(&stsz[12 + 4 * i]);
    };

    const size_t chunk_count = EntryCount(chunks, co64 ? 8 : 4);
    const auto chunk_offset = [&](size_t i) {
        return co64 ? Be64(&chunks[8 + 8 * i]) : uint64_t{Be32(&chunks[8 + 4 * i])};
    };
    const size_t runs = EntryCount(stsc, 12);

    // Durations run on with the last one when the table is short.
    const size_t time_runs = EntryCount(stts, 8);
    size_t time_run = 0;
    uint64_t left_in_run = time_runs > 0 ? Be32(&stts[8]) : 0;
    uint64_t delta = time_runs > 0 ? Be32(&stts[12]) : 0;
    uint64_t ticks = 0;

    samples.reserve(std::min<size_t>(sample_count, 1 << 16));
    size_t index = 0;
    size_t run = 0;
    for (size_t chunk = 0; chunk < chunk_count && index < sample_count; ++chunk) {
        // stsc numbers chunks from 1; the run in force is the last one whose first chunk is
        // not after this chunk.
        while (run + 1 < runs) {
            const uint32_t next_first = Be32(&stsc[8 + 12 * (run + 1)]);
            if (next_first > chunk + 1)
                break;
            ++run;
        }
        if (runs == 0 || Be32(&stsc[8 + 12 * run]) > chunk + 1)
            continue;
        const uint32_t per_chunk = Be32(&stsc[8 + 12 * run + 4]);
        uint64_t offset = chunk_offset(chunk);
        for (uint32_t k = 0; k < per_chunk && index < sample_count; ++k, ++index) {
            const uint32_t size = size_of(index);
            while (left_in_run == 0 && time_run + 1 < time_runs) {
                ++time_run;
                left_in_run = Be32(&stts[8 + 8 * time_run]);
                delta = Be32(&stts[12 + 8 * time_run]);
            }
            const int64_t time_ms = ToMs(ticks, track.timescale);
            ticks += delta;
            if (left_in_run > 0)
                --left_in_run;
            if (offset <= reader.size() && size <= reader.size() - offset)
                samples.push_back({offset, size, time_ms});
            if (__builtin_add_overflow(offset, uint64_t{size}, &offset))
                break;
        }
    }
    return samples;
}
