#pragma once
// Every log of the recording list, loaded off the user-interface thread and kept by path and
// last-write time, so that a long list neither freezes the window nor loads a log twice.

#include <QFutureWatcher>
#include <QObject>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "map/map_bridge.h"
#include "map/route_shape.h"
#include "track/track_outputs.h"

// What the trip keeps of one log.
struct TripLog {
    std::string path;
    MapRoute route;        // its valid positions, less those that lie on the line drawn
    TrackSummary summary;  // with its driving events at the default thresholds
};

// Loads the track of a source (a log, a .gps file or a clip) without writing anything
// anywhere; safe on any thread.
TripLog LoadTripLog(const std::string& path);

// Several logs as one: counts and distances add up, speed and acceleration take the largest.
TrackSummary CombineSummaries(const std::vector<TrackSummary>& parts);

class CTripLoader : public QObject {
    Q_OBJECT

public:
    explicit CTripLoader(QObject* parent = nullptr);
    ~CTripLoader() override;

    // The trip becomes these logs, in this order; Loaded follows once each is at hand (at
    // once when every one is kept already).
    void SetLogs(const std::vector<std::string>& paths);
    // The logs of the last SetLogs, once Loaded has come.
    const std::vector<TripLog>& Logs() const { return logs_; }

signals:
    void Loaded();

private:
    using Key = std::pair<std::string, int64_t>;  // path, last-write time
    using Batch = std::vector<std::pair<Key, TripLog>>;

    void Pump();

    std::vector<Key> wanted_;
    std::map<Key, TripLog> kept_;
    std::vector<TripLog> logs_;
    QFutureWatcher<Batch> worker_;
};
