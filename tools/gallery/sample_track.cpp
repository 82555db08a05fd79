#include "tools/gallery/sample_track.h"

#include <algorithm>
#include <cmath>
#include <cstring>

std::vector<TrackEntry> MakeDriveTrack(int seconds) {
    std::vector<TrackEntry> track(static_cast<size_t>(seconds > 0 ? seconds : 0));
    for (int i = 0; i < seconds; ++i) {
        TrackEntry& e = track[static_cast<size_t>(i)];
        std::memset(&e, 0, sizeof e);
        e.index = i;
        TrackSample& s = e.sample;
        const double t = i;
        s.valid = 1;
        s.speed = std::max(0.0, 70.0 + 45.0 * std::sin(t / 97.0) + 12.0 * std::sin(t / 13.0));
        s.dir = std::fmod(360.0 + 180.0 + 170.0 * std::sin(t / 211.0), 360.0);
        s.x = 0.35 * std::sin(t / 7.0) + 0.15 * std::sin(t / 2.3);
        s.y = 0.25 * std::cos(t / 11.0) + 0.1 * std::sin(t / 1.7);
        s.z = -1.0 + 0.12 * std::sin(t / 3.1);
        s.inview_no = 12;
        s.inuse_no = 0;
        for (int k = 0; k < s.inview_no; ++k) {
            SatelliteSlot& sat = s.sats[k];
            sat.prn = 2 + 3 * k;
            sat.snr = static_cast<int>(22 + 22 * std::fabs(std::sin(k * 1.3 + t / 60.0)));
            sat.used = (k % 4) != 3;
            s.inuse_no += sat.used;
        }
        e.next = i + 1 < seconds ? &track[static_cast<size_t>(i + 1)] : nullptr;
    }
    return track;
}
