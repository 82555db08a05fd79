#include "playback/playback_session.h"

#include <QThread>

#include <filesystem>
#include <utility>

#include "app/app_state.h"
#include "app/format.h"
#include "app/history_log.h"
#include "app/message.h"
#include "track/track.h"
#include "track/track_export.h"

namespace {

constexpr int kRewindSettleMs = 200;
constexpr int kMapZoomLevel = 16;

// A sample's position in decimal degrees, as the map page takes it.
struct Degrees {
    explicit Degrees(const TrackSample& s) { NmeaToDegrees(s.lat, s.lon, &lat, &lon); }
    double lat = 0;
    double lon = 0;
};

bool FileExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

// What tells one version of a log from another: its size and its last write.
std::pair<uintmax_t, std::filesystem::file_time_type> Version(const std::string& path) {
    std::error_code error;
    return {std::filesystem::file_size(path, error), std::filesystem::last_write_time(path, error)};
}

}  // namespace

void PlaybackSession::TrackDeleter::operator()(TrackEntry* first) const {
    FreeTrack(first);
}

PlaybackSession::PlaybackSession(Parts parts, QObject* parent)
    : QObject(parent), parts_(std::move(parts)) {
    logTimer_.setInterval(kLogTimerMs);
    connect(&logTimer_, &QTimer::timeout, this, &PlaybackSession::OnLogTick);
    player_ = parts_.makePlayer(*this);
}

PlaybackSession::~PlaybackSession() {
    Shutdown();
}

void PlaybackSession::Shutdown() {
    logTimer_.stop();
    player_.reset();
}

int32_t PlaybackSession::CurrentSecond() const {
    return cursor_ != nullptr ? cursor_->index : -1;
}

void PlaybackSession::ReplacePlayer() {
    player_.reset();
    player_ = parts_.makePlayer(*this);
}

int PlaybackSession::OpenRecording() {
    const std::string path = parts_.recordings.GetSelFilePath();
    if (path.empty()) {
        ShowMessage("No selected File...");
        return -1;
    }
    const FileKind kind = KindOfFile(path);
    if (kind == FileKind::Unknown) {
        ShowMessage("unknow file type...");
        return -1;
    }
    StopPlayback(false);
    ReplacePlayer();

    const std::string logPath = LogPathFor(path, kind);
    // Play runs this again right after a double-click: the log loaded then, unchanged since,
    // is kept, and the analysis file already holds its bytes.
    const bool reload = !track_ || logPath != trackPath_ || Version(logPath) != trackVersion_;
    if (reload) {
        track_.reset();
        trackPath_.clear();
    }
    cursor_ = nullptr;
    parts_.instruments.SetSampleList(nullptr);
    lastIndex_ = 0;
    bool told = false;
    if (!FileExists(logPath))
        ShowMessage(FormatText("No NMEA File : %s", logPath.c_str()));
    else if (reload)
        told = !LoadLog(logPath);
    else
        Show(track_.get());
    if (!track_) {
        if (!told)
            ShowMessage(FormatText("No Nmea Data : %s", logPath.c_str()));
        return -1;
    }
    DrawRoute();
    emit RecordingLoaded();
    return 0;
}

bool PlaybackSession::LoadLog(const std::string& logPath) {
    trackVersion_ = Version(logPath);
    int analysis = 0;
    std::string unreadable;
    track_.reset(LoadTrack(logPath, theApp().StateFile("out_nmea.txt"), &analysis, &unreadable));
    if (!unreadable.empty())
        ShowMessage(FormatText("Cannot read %s: %s", logPath.c_str(), unreadable.c_str()));
    // Opening is the one failure the user is told of; a short write is only logged.
    if (analysis == kAnalysisOpenFailed)
        ShowMessage(AnalysisFailureText(analysis));
    else if (analysis != 0)
        WriteHistoryLog("%s\n", AnalysisFailureText(analysis));
    if (track_)
        trackPath_ = logPath;
    Show(track_.get());
    return unreadable.empty();
}

void PlaybackSession::Show(TrackEntry* track) {
    cursor_ = track;
    parts_.instruments.SetSampleList(track);
}

void PlaybackSession::DrawRoute() {
    CMapCalls& map = parts_.map;
    for (const TrackEntry* e = track_.get(); e != nullptr; e = e->next) {
        if (e->sample.valid > 0 && map.PageLoaded()) {
            const Degrees at(e->sample);
            map.AddPolyLinePoint(at.lat, at.lon);
        }
        lastIndex_ = e->index;
    }
    if (map.PageLoaded()) {
        map.DrawPolyLine();
        // The first position centres the map even when it has no fix.
        const Degrees at(track_->sample);
        map.Reload(at.lat, at.lon, kMapZoomLevel);
        map.MoveTo(at.lat, at.lon);
        map.RenewCursor(at.lat, at.lon);
    }
}

void PlaybackSession::PlayPause() {
    const std::string path = parts_.recordings.GetSelFilePath();
    if (path.empty())
        return;
    const FileKind kind = KindOfFile(path);
    if (kind == FileKind::Unknown)
        return;
    CTransportControls& controls = parts_.controls;

    if (FileExists(LogPathFor(path, kind))) {
        switch (state_) {
            case PlaybackState::Stopped:
                OpenRecording();
                [[fallthrough]];
            case PlaybackState::Paused:
                if (cursor_ != nullptr) {
                    logTimer_.start();
                    state_ = PlaybackState::Playing;
                    parts_.map.ResizeMap();
                }
                controls.SetPlayLook(true);
                break;
            case PlaybackState::Playing:
                logTimer_.stop();
                state_ = PlaybackState::Paused;
                controls.SetPlayLook(false);
                break;
        }
    }

    if (IsClip(kind) && player_ && FileExists(path)) {
        const MediaState media = player_->GetMediaState();
        if (media == MediaState::Running || media == MediaState::Paused) {
            player_->TogglePause();
            controls.SetPlayLook(player_->GetMediaState() == MediaState::Running);
        } else {
            if (player_->OpenMedia(path) == -1)
                return;
            controls.SetPlayLook(true);
        }
        player_->SetVolumeLevel(controls.VolumeLevel());
    }
    controls.RedrawPlayButton();
}

void PlaybackSession::StopPlayback(bool rewind) {
    logTimer_.stop();
    state_ = PlaybackState::Stopped;
    cursor_ = track_.get();
    parts_.instruments.ShowSample(cursor_);
    if (player_) {
        if (rewind) {
            player_->SeekToSecond(0);
            // Give the backend a moment to settle on the first frame before it stops.
            QThread::msleep(kRewindSettleMs);
        }
        player_->StopMedia();
    }
    parts_.controls.MovePositionSlider(0, false);
    parts_.controls.SetPlayLook(false);
    parts_.controls.RedrawPlayButton();
}

void PlaybackSession::OnLogTick() {
    const FileKind kind = KindOfFile(parts_.recordings.GetSelFilePath());
    TrackEntry* cur = CurrentSample(cursor_);
    parts_.instruments.ShowSample(cur);
    if (cur == nullptr) {
        NextRecording();
        return;
    }
    const TrackEntry* next = AdvanceSample(cursor_);
    if (next == nullptr)
        return;
    // The marker shows the entry the instruments show at the next tick.
    if (parts_.map.PageLoaded() && cur->sample.valid > 0 && next->sample.valid > 0) {
        const Degrees at(next->sample);
        parts_.map.MoveTo(at.lat, at.lon);
        parts_.map.RenewCursor(at.lat, at.lon);
    }
    // A clip's slider follows the clip; a log row's follows the log.
    if (kind == FileKind::Nmea)
        parts_.controls.MovePositionSlider(next->index * 100 / (lastIndex_ + 1), true);
}

void PlaybackSession::OnPlayerTick(CClipPlayer* from) {
    // A player already replaced has nothing more to say.
    if (from == player_.get() && player_->TickPosition() == TickResult::ReachedEnd)
        NextRecording();
}

void PlaybackSession::OnGraphNotify(CClipPlayer* from) {
    if (from != player_.get())
        return;
    const bool wasPlaying = player_->GetMediaState() != MediaState::Stopped;
    player_->HandleGraphEvents();
    // A clip that ended with no log clock to move on (a clip without its log, or one the
    // backend ended short of its counted length) hands over itself.
    if (wasPlaying && player_->GetMediaState() == MediaState::Stopped &&
        state_ == PlaybackState::Stopped)
        NextRecording();
}

void PlaybackSession::SeekPercent(int pos) {
    const std::string path = parts_.recordings.GetSelFilePath();
    if (path.empty())
        return;
    const FileKind kind = KindOfFile(path);
    if (kind == FileKind::Nmea)
        Seek((lastIndex_ + 1) * pos / 100);
    else if (IsClip(kind) && player_)
        Seek(player_->SecondsAtPercent(pos));
}

void PlaybackSession::Seek(int32_t second) {
    if (player_ && IsClip(KindOfFile(parts_.recordings.GetSelFilePath())))
        player_->SeekToSecond(second);
    // Past the log's end there is no entry: the next log tick ends the recording.
    cursor_ = FindSample(track_.get(), second);
}

void PlaybackSession::SetVolumeLevel(int level) {
    if (player_)
        player_->SetVolumeLevel(level);
}

void PlaybackSession::PrepareRefill() {
    StopPlayback(true);
    ReplacePlayer();
}

void PlaybackSession::NextRecording() {
    ChangeRecording(true);
}

void PlaybackSession::PrevRecording() {
    ChangeRecording(false);
}

void PlaybackSession::ChangeRecording(bool next) {
    // A message box of the change lets timer ticks run inside it; they must not start a
    // second change on top of this one.
    if (changingRecording_)
        return;
    changingRecording_ = true;
    CRecordingSelection& list = parts_.recordings;
    if ((next ? list.SelectNext() : list.SelectPrevious()) != -1 && OpenRecording() != -1)
        PlayPause();
    changingRecording_ = false;
}
