#pragma once
// A recording's track as the player holds it, and the loading of it off the user-interface
// thread: one load at a time, in the order asked, so that the analysis file always ends up
// holding the last recording opened.

#include <QObject>
#include <QThreadPool>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "map/route_shape.h"
#include "telemetry/track_source.h"
#include "track/track_sample.h"

struct TrackFree {
    void operator()(TrackEntry* first) const;
};
using TrackPtr = std::unique_ptr<TrackEntry, TrackFree>;

// What tells one version of a file from another: its size and its last write.
using FileVersion = std::pair<uintmax_t, std::filesystem::file_time_type>;
FileVersion VersionOf(const std::string& path);

struct LoadedTrack {
    std::string row;     // the list row it was opened for
    TrackSource source;  // where its data comes from
    FileVersion version;
    TrackPtr first;                    // null when the source gave no entries
    std::vector<TrackEntry*> entries;  // by index
    MapRoute route;                    // its valid positions, as the map draws them
    int analysisResult = 0;
    std::string whyNone;             // when first is null: why, in one line
    std::string unreadable;          // why the source's file could not be read; "" when it was
    std::vector<std::string> notes;  // for History.log

    TrackEntry* First() const { return first.get(); }
    int32_t LastIndex() const { return entries.empty() ? 0 : entries.back()->index; }
    // The entry of second; null past the ends.
    TrackEntry* At(int32_t second) const {
        return second >= 0 && size_t(second) < entries.size() ? entries[size_t(second)] : nullptr;
    }
};

// Reads row's track from its source and writes the analysis file (unless analysisPath is
// empty); safe on any thread. progress, when given, follows the reading and can stop it.
LoadedTrack LoadRowTrack(const std::string& row, const std::string& analysisPath,
                         LoadProgress* progress = nullptr);

class TrackLoader : public QObject {
    Q_OBJECT

public:
    using Done = std::function<void(LoadedTrack)>;

    explicit TrackLoader(Done done, QObject* parent = nullptr);
    ~TrackLoader() override;

    // Loads row in the background; done follows on this object's thread, unless a later Start
    // or Drop came first. A load under way is given up.
    void Start(const std::string& row, const std::string& analysisPath);
    // The load under way, if any, is given up and will not be reported.
    void Drop();
    bool Busy() const { return busy_; }
    // Thousandths of the source read by the load under way.
    int Progress() const { return progress_->Permille(); }

private:
    Done done_;
    QThreadPool pool_;
    unsigned ticket_ = 0;
    bool busy_ = false;
    std::shared_ptr<LoadProgress> progress_ = std::make_shared<LoadProgress>();
};
