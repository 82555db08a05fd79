#include "playback/track_loading.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>

#include "track/track.h"

void TrackFree::operator()(TrackEntry* first) const {
    FreeTrack(first);
}

FileVersion VersionOf(const std::string& path) {
    std::error_code error;
    return {std::filesystem::file_size(path, error), std::filesystem::last_write_time(path, error)};
}

LoadedTrack LoadRowTrack(const std::string& row, const std::string& analysisPath,
                         LoadProgress* progress) {
    SourcedTrack sourced = LoadSourcedTrack(row, analysisPath, progress);
    LoadedTrack loaded;
    loaded.row = row;
    loaded.source = sourced.source;
    loaded.version = VersionOf(sourced.source.path);
    loaded.first.reset(sourced.first);
    loaded.analysisResult = sourced.analysis_result;
    loaded.whyNone = std::move(sourced.why_none);
    loaded.unreadable = std::move(sourced.unreadable);
    loaded.notes = std::move(sourced.notes);
    MapRoute route;
    for (TrackEntry* e = loaded.first.get(); e != nullptr; e = e->next) {
        loaded.entries.push_back(e);
        if (e->sample.valid > 0) {
            double lat = 0;
            double lon = 0;
            NmeaToDegrees(e->sample.lat, e->sample.lon, &lat, &lon);
            route.push_back({lat, lon});
        }
    }
    // A day's route is many points for the page; those it cannot show are left out here.
    loaded.route = SimplifyRoute(route);
    return loaded;
}

TrackLoader::TrackLoader(Done done, QObject* parent) : QObject(parent), done_(std::move(done)) {
    // One at a time, in order: each load rewrites the one analysis file.
    pool_.setMaxThreadCount(1);
}

TrackLoader::~TrackLoader() {
    Drop();
    pool_.waitForDone();
}

void TrackLoader::Drop() {
    ++ticket_;
    busy_ = false;
    progress_->cancelled = true;
}

void TrackLoader::Start(const std::string& row, const std::string& analysisPath) {
    Drop();
    const unsigned ticket = ticket_;
    busy_ = true;
    progress_ = std::make_shared<LoadProgress>();
    QPointer<TrackLoader> self(this);
    pool_.start([self, ticket, row, analysisPath, progress = progress_] {
        auto loaded =
            std::make_shared<LoadedTrack>(LoadRowTrack(row, analysisPath, progress.get()));
        // The loader lives on the user-interface thread; self is only read there.
        QMetaObject::invokeMethod(
            qApp,
            [self, ticket, loaded] {
                if (self == nullptr || ticket != self->ticket_)
                    return;
                self->busy_ = false;
                self->done_(std::move(*loaded));
            },
            Qt::QueuedConnection);
    });
}
