// Arbitrary bytes as a clip through every telemetry reader: the box walker down to its depth
// limit, the sample tables of every track, the table of families (each decoder, the scan),
// and the per-second track; and the same bytes named as a .gps file.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "telemetry/box_walker.h"
#include "telemetry/novatek_gps.h"
#include "telemetry/per_second.h"
#include "telemetry/sample_table.h"
#include "telemetry/telemetry.h"
#include "track/track.h"
#include "track/utc_clock.h"

namespace {
void WalkAll(const FileReader& reader, const Box* parent) {
    BoxWalker walker = parent != nullptr ? BoxWalker(reader, *parent) : BoxWalker(reader);
    Box box;
    while (walker.Next(&box)) {
        if (box.type == FourCc("moov")) {
            for (const MediaTrack& track : ListTracks(reader, box)) ReadSamples(reader, track);
        }
        WalkAll(reader, &box);
    }
}

void ReadAsTrack(const std::string& path) {
    const Telemetry telemetry = ReadTelemetry(path);
    FreeTrack(BuildTrack(SamplesPerSecond(telemetry.points)));
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SetUtcClock([] { return std::chrono::system_clock::time_point{}; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const int fd = memfd_create("vantrail-fuzz-clip", 0);
    static const std::string clip = "/proc/self/fd/" + std::to_string(fd);
    static const std::string gps = "/tmp/vantrail-fuzz-" + std::to_string(getpid()) + ".gps";
    static const bool linked = symlink(clip.c_str(), gps.c_str()) == 0;
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size))
        return 0;
    const FileReader reader(clip);
    WalkAll(reader, nullptr);
    DecodeNovatekBlock(data, size);
    ReadAsTrack(clip);
    if (linked)
        ReadAsTrack(gps);
    return 0;
}
