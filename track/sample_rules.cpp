#include "track/sample_rules.h"

namespace {
// The hemisphere letters must be exactly N and E; anything else, empty included, negates.
void ApplyPosition(double lat, char ns, double lon, char ew, TrackSample& sample) {
    sample.lat = ns == 'N' ? lat : -lat;
    sample.lon = ew == 'E' ? lon : -lon;
}
}  // namespace

void ApplySentence(const GgaRecord& r, TrackSample& sample) {
    sample.hour = r.time.hour;
    sample.minute = r.time.minute;
    sample.second = r.time.second;
    sample.hundredths = r.time.hundredths;
    sample.valid = r.quality;
    sample.hdop = r.hdop;
    sample.altitude = r.altitude;
    ApplyPosition(r.lat, r.ns, r.lon, r.ew, sample);
    sample.sentences |= kSentenceGga;
}

void ApplySentence(const GsaRecord& r, TrackSample& sample) {
    sample.fix_mode = r.fix_mode;
    sample.pdop = r.pdop;
    sample.hdop = r.hdop;
    sample.vdop = r.vdop;
    const int slots = sample.inview_no < kMaxSatellites ? sample.inview_no : kMaxSatellites;
    int in_use = 0;
    for (const int32_t prn : r.prns) {
        if (prn == 0)
            continue;
        for (int j = 0; j < slots; ++j) {
            if (sample.sats[j].prn == prn) {
                sample.sats[j].used = 1;
                ++in_use;
            }
        }
    }
    sample.inuse_no = in_use;
    sample.sentences |= kSentenceGsa;
}

void ApplySentence(const GsvRecord& r, TrackSample& sample) {
    int64_t number = r.number;
    if (number > r.total || 4 * number > kMaxSatellites)
        return;
    if (number < 1)
        number = 1;
    sample.inview_no = r.in_view;
    const int64_t first = 4 * (number - 1);
    const int64_t n = SatellitesInMessage(number, r.in_view);
    for (int64_t k = 0; k < n; ++k) {
        SatelliteSlot& slot = sample.sats[first + k];
        slot.prn = r.sats[k].prn;
        slot.elevation = r.sats[k].elevation;
        slot.azimuth = r.sats[k].azimuth;
        slot.snr = r.sats[k].snr;
    }
    sample.sentences |= kSentenceGsv;
}

void ApplySentence(const RmcRecord& r, TrackSample& sample) {
    if (r.status == 'A') {
        if (sample.valid == 0)
            sample.valid = 2;
        if (sample.fix_mode == 1)
            sample.fix_mode = 2;
    } else if (r.status == 'V') {
        sample.valid = 0;
        sample.fix_mode = 1;
    }
    sample.year = r.time.year;
    sample.month = r.time.month;
    sample.day = r.time.day;
    sample.hour = r.time.hour;
    sample.minute = r.time.minute;
    sample.second = r.time.second;
    sample.hundredths = r.time.hundredths;
    ApplyPosition(r.lat, r.ns, r.lon, r.ew, sample);
    sample.speed = r.speed_knots * 1.852;
    sample.dir = r.course;
    sample.sentences |= kSentenceRmc;
}

void ApplySentence(const VtgRecord& r, TrackSample& sample) {
    sample.dir = r.track_true;
    sample.mag_dir = r.track_magnetic;
    sample.speed = r.speed_kmh;
    sample.sentences |= kSentenceVtg;
}

void ApplySentence(const GsensorRecord& r, TrackSample& sample) {
    sample.x = r.x;
    sample.y = r.y;
    sample.z = r.z;
    sample.sentences |= kSentenceGsensor;
}
