#include "telemetry/per_second.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "track/track.h"

namespace {
bool IsReading(const TelemetryPoint& p) {
    return !p.has_time && !p.valid && p.has_accel;
}

// Days from 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

int64_t UtcSecond(const TelemetryPoint& p) {
    return DaysFromCivil(p.year, p.month, p.day) * 86400 + int64_t{p.hour} * 3600 +
           int64_t{p.minute} * 60 + p.second;
}

// Signed decimal degrees to the log's signed ddmm.mmmm.
double ToNmea(double degrees) {
    const double magnitude = std::fabs(degrees);
    const double whole = std::trunc(magnitude);
    const double nmea = whole * 100.0 + (magnitude - whole) * 60.0;
    return degrees < 0 ? -nmea : nmea;
}

double Known(double value) {
    return std::isfinite(value) ? value : 0.0;
}

struct Entry {
    const TelemetryPoint* first;
    int64_t clip_start;
    double x = 0, y = 0, z = 0;
    int readings = 0;

    void Add(const TelemetryPoint& p) {
        if (!std::isfinite(p.ax) || !std::isfinite(p.ay) || !std::isfinite(p.az))
            return;
        x += p.ax;
        y += p.ay;
        z += p.az;
        ++readings;
    }
};

TrackSample ToSample(const Entry& entry) {
    TrackSample s;
    InitSample(s);
    const TelemetryPoint* p = entry.first;
    if (p != nullptr && p->has_time) {
        s.year = p->year - 1900;
        s.month = p->month - 1;
        s.day = p->day;
        s.hour = p->hour;
        s.minute = p->minute;
        s.second = p->second;
        s.hundredths = p->millisecond / 10;
        s.sentences |= kSentenceRmc;
    }
    if (p != nullptr && p->valid && std::isfinite(p->lat) && std::isfinite(p->lon)) {
        s.valid = 2;
        s.fix_mode = 2;
        s.lat = ToNmea(p->lat);
        s.lon = ToNmea(p->lon);
        s.speed = Known(p->speed_kmh);
        s.dir = Known(p->course);
    }
    if (p != nullptr && (std::isfinite(p->altitude) || p->satellites >= 0)) {
        s.altitude = Known(p->altitude);
        s.inuse_no = std::max(p->satellites, 0);
        s.sentences |= kSentenceGga;
    }
    if (entry.readings > 0) {
        s.x = entry.x / entry.readings;
        s.y = entry.y / entry.readings;
        s.z = entry.z / entry.readings;
        s.sentences |= kSentenceGsensor;
    }
    return s;
}
}  // namespace

void AppendRecord(std::vector<TelemetryPoint>& points, TelemetryPoint record) {
    if (IsReading(record)) {
        TelemetryPoint bare = record;
        bare.has_accel = false;
        points.push_back(bare);
    }
    points.push_back(record);
}

std::vector<TrackSample> SamplesPerSecond(const std::vector<TelemetryPoint>& points) {
    std::vector<Entry> entries;
    std::vector<size_t> entry_of(points.size(), SIZE_MAX);
    std::unordered_map<int64_t, size_t> by_utc;
    std::unordered_map<int64_t, size_t> by_clip;  // undated records by clip second
    for (size_t i = 0; i < points.size(); ++i) {
        const TelemetryPoint& p = points[i];
        if (IsReading(p))
            continue;
        std::unordered_map<int64_t, size_t>* seen = nullptr;
        int64_t key = 0;
        if (p.has_time) {
            seen = &by_utc;
            key = UtcSecond(p);
        } else if (p.clip_ms >= 0) {
            seen = &by_clip;
            key = p.clip_ms / 1000;
        }
        if (seen != nullptr) {
            if (const auto it = seen->find(key); it != seen->end()) {
                entry_of[i] = it->second;
                continue;
            }
            seen->emplace(key, entries.size());
        }
        entry_of[i] = entries.size();
        entries.push_back({&p, p.clip_ms});
    }

    // Readings alone: an entry for each clip second they fall in.
    if (entries.empty()) {
        std::vector<int64_t> seconds;
        for (const TelemetryPoint& p : points) {
            if (p.clip_ms >= 0)
                seconds.push_back(p.clip_ms / 1000);
        }
        std::sort(seconds.begin(), seconds.end());
        seconds.erase(std::unique(seconds.begin(), seconds.end()), seconds.end());
        for (const int64_t second : seconds) entries.push_back({nullptr, second * 1000});
    }

    std::vector<std::pair<int64_t, size_t>> by_clip_time;
    for (size_t e = 0; e < entries.size(); ++e) {
        if (entries[e].clip_start >= 0)
            by_clip_time.emplace_back(entries[e].clip_start, e);
    }
    std::stable_sort(by_clip_time.begin(), by_clip_time.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    size_t last = SIZE_MAX;  // the entry of the last point that was not a reading
    for (size_t i = 0; i < points.size(); ++i) {
        const TelemetryPoint& p = points[i];
        if (!IsReading(p)) {
            last = entry_of[i];
            if (p.has_accel)
                entries[last].Add(p);
            continue;
        }
        size_t target = last;
        if (p.clip_ms >= 0 && !by_clip_time.empty()) {
            const auto after = std::upper_bound(
                by_clip_time.begin(), by_clip_time.end(), p.clip_ms,
                [](int64_t ms, const std::pair<int64_t, size_t>& e) { return ms < e.first; });
            target = after == by_clip_time.begin() ? after->second : std::prev(after)->second;
        } else if (target == SIZE_MAX && !entries.empty()) {
            target = 0;
        }
        if (target != SIZE_MAX)
            entries[target].Add(p);
    }

    std::vector<TrackSample> samples;
    samples.reserve(entries.size());
    for (const Entry& entry : entries) samples.push_back(ToSample(entry));
    return samples;
}
