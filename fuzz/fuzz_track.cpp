// Arbitrary bytes as a whole log through the path the player takes: LoadTrack reading the
// file line by line, and the analysis export.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "track/track.h"
#include "track/utc_clock.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SetUtcClock([] { return std::chrono::system_clock::time_point{}; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const int fd = memfd_create("vantrail-fuzz-log", 0);
    static const std::string log = "/proc/self/fd/" + std::to_string(fd);
    static const std::string analysis = "/tmp/vantrail-fuzz-" + std::to_string(getpid()) + ".txt";
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size))
        return 0;
    FreeTrack(LoadTrack(log, analysis));
    return 0;
}
