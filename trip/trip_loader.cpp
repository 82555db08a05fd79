#include "trip/trip_loader.h"

#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numbers>

#include "track/driving_events.h"
#include "track/track.h"

namespace {
// The deepest zoom of the map page (MAX_ZOOM of zavomap.js), and how far from the drawn line a
// left-out point may lie there, in pixels: too little to see at any zoom, so a route keeps every
// turn of the streets.
constexpr int kDeepestZoom = 19;
constexpr double kTolerancePixels = 0.25;
// Stretches simplified one by one: whatever the shape, the work stays near linear in a day's
// points.
constexpr size_t kStretchPoints = 4096;

struct Pixel {
    double x;
    double y;
};

// Where the page's map (spherical Mercator) puts a position, in pixels at the deepest zoom.
Pixel ToPixel(const std::array<double, 2>& position) {
    constexpr double kWorld = 256.0 * (1 << kDeepestZoom);
    constexpr double kMaxLatitude = 85.0511287798;
    const double lat =
        std::clamp(position[0], -kMaxLatitude, kMaxLatitude) * std::numbers::pi / 180;
    return {(position[1] + 180) / 360 * kWorld,
            (1 - std::asinh(std::tan(lat)) / std::numbers::pi) / 2 * kWorld};
}

// To the segment, not to its line: the far end of a street driven out and back lies on the line.
double SquaredDistance(Pixel p, Pixel a, Pixel b) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double length = dx * dx + dy * dy;
    const double t =
        length > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / length, 0.0, 1.0) : 0.0;
    const double ex = p.x - (a.x + t * dx);
    const double ey = p.y - (a.y + t * dy);
    return ex * ex + ey * ey;
}

int64_t WriteTime(const std::string& path) {
    std::error_code error;
    const auto time = std::filesystem::last_write_time(path, error);
    return error ? -1 : static_cast<int64_t>(time.time_since_epoch().count());
}
}  // namespace

// Douglas-Peucker, with a stack of stretches in place of recursion (a day of points would go
// deep).
MapRoute SimplifyRoute(const MapRoute& route) {
    const size_t n = route.size();
    if (n <= 2)
        return route;
    std::vector<Pixel> at(n);
    std::transform(route.begin(), route.end(), at.begin(), ToPixel);
    std::vector<bool> keep(n, false);
    std::vector<std::pair<size_t, size_t>> stretches;
    keep[0] = true;
    for (size_t first = 0; first + 1 < n; first += kStretchPoints) {
        const size_t last = std::min(first + kStretchPoints, n - 1);
        keep[last] = true;
        stretches.emplace_back(first, last);
    }
    constexpr double kToleranceSquared = kTolerancePixels * kTolerancePixels;
    while (!stretches.empty()) {
        const auto [first, last] = stretches.back();
        stretches.pop_back();
        double farthest = kToleranceSquared;
        size_t split = first;
        for (size_t i = first + 1; i < last; ++i) {
            const double d = SquaredDistance(at[i], at[first], at[last]);
            if (d > farthest) {
                farthest = d;
                split = i;
            }
        }
        if (split != first) {
            keep[split] = true;
            stretches.emplace_back(first, split);
            stretches.emplace_back(split, last);
        }
    }
    MapRoute kept;
    for (size_t i = 0; i < n; ++i) {
        if (keep[i])
            kept.push_back(route[i]);
    }
    return kept;
}

TripLog LoadTripLog(const std::string& path) {
    TripLog log{path, {}, {}};
    // No analysis path: a trip leaves out_nmea.txt to the recording that is opened.
    TrackEntry* track = LoadTrack(path, "");
    for (const TrackEntry* e = track; e != nullptr; e = e->next) {
        if (e->sample.valid <= 0)
            continue;
        double lat = 0;
        double lon = 0;
        NmeaToDegrees(e->sample.lat, e->sample.lon, &lat, &lon);
        log.route.push_back({lat, lon});
    }
    log.summary = SummarizeTrack(track, FindDrivingEvents(track));
    FreeTrack(track);
    log.route = SimplifyRoute(log.route);
    return log;
}

TrackSummary CombineSummaries(const std::vector<TrackSummary>& parts) {
    TrackSummary all;
    for (const TrackSummary& s : parts) {
        all.entries += s.entries;
        all.valid_fixes += s.valid_fixes;
        all.distance_km += s.distance_km;
        all.max_speed_kmh = std::max(all.max_speed_kmh, s.max_speed_kmh);
        all.peak_g = std::max(all.peak_g, s.peak_g);
        all.harsh_events += s.harsh_events;
        all.bump_events += s.bump_events;
    }
    return all;
}

CTripLoader::CTripLoader(QObject* parent) : QObject(parent) {
    connect(&worker_, &QFutureWatcher<Batch>::finished, this, [this] {
        for (auto& loaded : worker_.result()) {
            // A rewritten log replaces what was kept of it.
            const std::string& path = loaded.first.first;
            std::erase_if(kept_, [&path](const auto& kept) { return kept.first.first == path; });
            kept_.insert(std::move(loaded));
        }
        Pump();
    });
}

CTripLoader::~CTripLoader() {
    worker_.waitForFinished();
}

void CTripLoader::SetLogs(const std::vector<std::string>& paths) {
    wanted_.clear();
    for (const std::string& path : paths) wanted_.emplace_back(path, WriteTime(path));
    Pump();
}

void CTripLoader::Pump() {
    // One batch at a time; the one under way pumps again when it ends.
    if (worker_.isRunning())
        return;
    std::vector<Key> missing;
    for (const Key& key : wanted_) {
        if (!kept_.contains(key) && std::find(missing.begin(), missing.end(), key) == missing.end())
            missing.push_back(key);
    }
    if (!missing.empty()) {
        worker_.setFuture(QtConcurrent::run([missing] {
            Batch batch;
            for (const Key& key : missing) batch.emplace_back(key, LoadTripLog(key.first));
            return batch;
        }));
        return;
    }
    logs_.clear();
    for (const Key& key : wanted_) logs_.push_back(kept_.at(key));
    emit Loaded();
}
