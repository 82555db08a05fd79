#include "trip/trip_loader.h"

#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <filesystem>

#include "telemetry/track_source.h"
#include "track/driving_events.h"
#include "track/track.h"

namespace {
int64_t WriteTime(const std::string& path) {
    std::error_code error;
    const auto time = std::filesystem::last_write_time(path, error);
    return error ? -1 : static_cast<int64_t>(time.time_since_epoch().count());
}
}  // namespace

TripLog LoadTripLog(const std::string& path) {
    TripLog log{path, {}, {}};
    // No analysis path: a trip leaves out_nmea.txt to the recording that is opened.
    TrackEntry* track = LoadSourcedTrack(path, "").first;
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
