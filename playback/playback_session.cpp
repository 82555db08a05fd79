#include "playback/playback_session.h"

#include <QThread>

#include <algorithm>
#include <cmath>
#include <iterator>
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
// A load that takes longer than this shows its progress.
constexpr int kLoadingShownAfterMs = 300;
// After a seek the backend may still report where it was for a moment; those reports are
// not followed until it has landed or this long has passed.
constexpr int kSeekSettleMs = 1500;

// A sample's position in decimal degrees, as the map page takes it.
struct Degrees {
    explicit Degrees(const TrackSample& s) { NmeaToDegrees(s.lat, s.lon, &lat, &lon); }
    double lat = 0;
    double lon = 0;
};

}  // namespace

std::string RateLabel(double rate) {
    return rate < 1 ? FormatText("x1/%d", static_cast<int>(std::lround(1 / rate)))
                    : FormatText("x%d", static_cast<int>(std::lround(rate)));
}

std::string FormatPlayTime(int64_t position, int64_t duration) {
    auto h = [](int64_t s) { return static_cast<unsigned>((s / 3600) % 60); };
    auto m = [](int64_t s) { return static_cast<unsigned>((s / 60) % 60); };
    auto s = [](int64_t v) { return static_cast<unsigned>(v % 60); };
    return FormatText("%02u:%02u:%02u / %02u:%02u:%02u", h(position), m(position), s(position),
                      h(duration), m(duration), s(duration));
}

PlaybackSession::PlaybackSession(Parts parts, QObject* parent)
    : QObject(parent),
      parts_(std::move(parts)),
      loader_([this](LoadedTrack loaded) { FinishOpen(std::move(loaded)); }) {
    logTimer_.setInterval(kLogTimerMs);
    connect(&logTimer_, &QTimer::timeout, this, &PlaybackSession::OnLogTick);
    seekSettle_.setSingleShot(true);
    seekSettle_.setInterval(kSeekSettleMs);
    connect(&seekSettle_, &QTimer::timeout, this, [this] { seekTargetMs_ = -1; });
    player_ = parts_.makePlayer(*this);
}

PlaybackSession::~PlaybackSession() {
    Shutdown();
}

void PlaybackSession::Shutdown() {
    ++generation_;
    loader_.Drop();
    logTimer_.stop();
    player_.reset();
}

void PlaybackSession::ReplacePlayer() {
    player_.reset();
    player_ = parts_.makePlayer(*this);
}

bool PlaybackSession::IsClipRow() const {
    return IsClip(KindOfFile(parts_.recordings.GetSelFilePath()));
}

bool PlaybackSession::Tell(const std::string& text) {
    const unsigned generation = generation_;
    ShowMessage(text);
    return generation == generation_;
}

int PlaybackSession::OpenRecording() {
    const std::string path = parts_.recordings.GetSelFilePath();
    if (path.empty()) {
        ShowMessage("No selected File...");
        return -1;
    }
    if (KindOfFile(path) == FileKind::Unknown) {
        ShowMessage("unknow file type...");
        return -1;
    }
    StartOpen(AfterLoad::Nothing, false);
    return 0;
}

void PlaybackSession::StartOpen(AfterLoad after, bool quiet) {
    StopPlayback(false);
    ReplacePlayer();
    afterLoad_ = after;
    openedQuietly_ = quiet;
    const std::string row = parts_.recordings.GetSelFilePath();

    // Play runs this again right after a double-click: the track loaded then, unchanged
    // since, is kept, and the analysis file already holds its bytes.
    const TrackSource source = ChooseTrackSource(row);
    if (track_.First() != nullptr && track_.row == row && source.path == track_.source.path &&
        VersionOf(source.path) == track_.version) {
        loader_.Drop();
        LoadedTrack kept = std::move(track_);
        FinishOpen(std::move(kept));
        return;
    }
    // Nothing of the previous recording stays on screen while this one loads.
    parts_.instruments.SetSampleList(nullptr);
    track_ = LoadedTrack{};
    track_.row = row;
    shown_ = -1;
    loader_.Start(row, theApp().StateFile("out_nmea.txt"));
    const unsigned generation = generation_;
    QTimer::singleShot(kLoadingShownAfterMs, this, [this, generation] {
        if (generation != generation_ || !loader_.Busy())
            return;
        auto* poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [this, poll, generation] {
            const bool busy = generation == generation_ && loader_.Busy();
            parts_.controls.ShowLoading(busy ? loader_.Progress() / 10 : -1);
            if (!busy)
                poll->deleteLater();
        });
        poll->start(100);
        parts_.controls.ShowLoading(loader_.Progress() / 10);
    });
}

void PlaybackSession::FinishOpen(LoadedTrack loaded) {
    const unsigned generation = generation_;
    track_ = std::move(loaded);
    parts_.controls.ShowLoading(-1);
    const AfterLoad after = std::exchange(afterLoad_, AfterLoad::Nothing);
    for (const std::string& note : track_.notes) WriteHistoryLog("%s\n", note.c_str());
    // Opening is the one failure of the analysis file the user is told of; a short write is
    // only logged.
    if (track_.analysisResult == kAnalysisOpenFailed) {
        if (!Tell(AnalysisFailureText(track_.analysisResult)))
            return;
    } else if (track_.analysisResult != 0) {
        WriteHistoryLog("%s\n", AnalysisFailureText(track_.analysisResult));
    }
    parts_.instruments.SetSampleList(track_.First());
    shown_ = -1;
    // A clip that started before its track arrived: the track joins the clip where it is.
    Follow(state_ == PlaybackState::Stopped ? 0 : clockMs_, true);
    if (track_.First() == nullptr) {
        // The route and events of the recording before must not stay on screen.
        if (parts_.map.PageLoaded())
            parts_.map.DrawPolyLine();
        emit RecordingOpened();
        if (!openedQuietly_ && !TellNoData())
            return;
        if (after == AfterLoad::Play)
            StartPlaying();
        return;
    }
    // The instruments show their first second before the route is drawn: a long route takes
    // the map a while.
    QTimer::singleShot(0, this, [this, generation] {
        if (generation == generation_)
            DrawRoute();
    });
    emit RecordingOpened();
    if (after != AfterLoad::Nothing)
        StartPlaying();
}

bool PlaybackSession::TellNoData() {
    // A clip without a log or data of its own is told of as a clip without its log always was.
    if (track_.source.kind == TrackSourceKind::kClip) {
        const std::string logPath = LogPathFor(track_.row, KindOfFile(track_.row));
        WriteHistoryLog("%s\n", track_.whyNone.c_str());
        return Tell(FormatText("No NMEA File : %s", logPath.c_str())) &&
               Tell(FormatText("No Nmea Data : %s", logPath.c_str()));
    }
    const char* path = track_.source.path.c_str();
    if (!track_.unreadable.empty())
        return Tell(FormatText("Cannot read %s: %s", path, track_.unreadable.c_str()));
    return Tell(FormatText("No Nmea Data : %s", path));
}

void PlaybackSession::DrawRoute() {
    CMapCalls& map = parts_.map;
    if (!map.PageLoaded() || track_.First() == nullptr)
        return;
    for (const auto& [lat, lon] : track_.route) map.AddPolyLinePoint(lat, lon);
    map.DrawPolyLine();
    // The map centres on the second shown, even when it has no fix.
    const TrackEntry* at = track_.At(std::max(shown_, 0));
    const Degrees where(at != nullptr ? at->sample : track_.First()->sample);
    map.Reload(where.lat, where.lon, kMapZoomLevel);
    map.MoveTo(where.lat, where.lon);
    map.RenewCursor(where.lat, where.lon);
}

void PlaybackSession::PlayPause() {
    const std::string path = parts_.recordings.GetSelFilePath();
    if (path.empty() || KindOfFile(path) == FileKind::Unknown)
        return;
    if (loader_.Busy() && state_ == PlaybackState::Stopped) {
        // Pressed again while loading: do not start after all.
        afterLoad_ = afterLoad_ == AfterLoad::Nothing ? AfterLoad::Play : AfterLoad::Nothing;
        return;
    }
    switch (state_) {
        case PlaybackState::Stopped:
            if (track_.row != path ||
                (track_.First() != nullptr && VersionOf(track_.source.path) != track_.version)) {
                // Not opened yet (a row chosen by a click), or its log changed since. A clip
                // without a log starts at once, without messages; data of its own joins it.
                const bool quietClip = ChooseTrackSource(path).kind == TrackSourceKind::kClip;
                StartOpen(quietClip ? AfterLoad::Nothing : AfterLoad::Play, quietClip);
                if (!quietClip)
                    return;
            }
            StartPlaying();
            return;
        case PlaybackState::Paused:
            state_ = PlaybackState::Playing;
            if (ClipIsClock())
                player_->TogglePause();
            else
                logTimer_.start();
            parts_.controls.SetPlayLook(true);
            break;
        case PlaybackState::Playing:
            state_ = PlaybackState::Paused;
            logTimer_.stop();
            if (ClipIsClock())
                player_->TogglePause();
            parts_.controls.SetPlayLook(false);
            break;
    }
    parts_.controls.RedrawPlayButton();
}

bool PlaybackSession::ClipIsClock() const {
    return IsClipRow() && player_ && player_->GetMediaState() != MediaState::Stopped;
}

void PlaybackSession::StartPlaying() {
    CTransportControls& controls = parts_.controls;
    const std::string path = parts_.recordings.GetSelFilePath();
    if (IsClip(KindOfFile(path)) && player_) {
        const int64_t from = clockMs_;
        const unsigned generation = generation_;
        if (player_->OpenMedia(path, RearClipOf(path)) == -1 || generation != generation_)
            return;
        player_->SetRate(rate_);
        player_->SetVolumeLevel(controls.VolumeLevel());
        // Where a seek put the recording before it played, the clip starts there.
        if (from > 0)
            player_->SeekToMs(from);
    } else if (track_.First() != nullptr) {
        logTimer_.start();
    } else {
        return;
    }
    state_ = PlaybackState::Playing;
    parts_.map.ResizeMap();
    ShowClock();
    controls.SetPlayLook(true);
    controls.RedrawPlayButton();
}

void PlaybackSession::StopPlayback(bool rewind) {
    ++generation_;
    logTimer_.stop();
    state_ = PlaybackState::Stopped;
    seekTargetMs_ = -1;
    if (player_) {
        if (rewind && player_->GetMediaState() != MediaState::Stopped) {
            player_->SeekToMs(0);
            // Give the backend a moment to settle on the first frame before it stops.
            QThread::msleep(kRewindSettleMs);
        }
        player_->StopMedia();
    }
    shown_ = -1;
    clockMs_ = 0;
    if (track_.First() != nullptr)
        ShowSecond(0, true);
    else
        parts_.instruments.ShowSample(nullptr);
    ShowClock();
    parts_.controls.SetPlayLook(false);
    parts_.controls.RedrawPlayButton();
}

int64_t PlaybackSession::LengthMs() const {
    if (ClipIsClock() && player_->DurationMs() > 0)
        return player_->DurationMs();
    return track_.First() != nullptr ? int64_t{track_.LastIndex() + 1} * 1000 : 0;
}

std::string PlaybackSession::TimeText() const {
    const std::string time = FormatPlayTime(clockMs_ / 1000, LengthMs() / 1000);
    return rate_ == 1 ? time : time + "  " + RateLabel(rate_);
}

void PlaybackSession::ShowClock() {
    const int64_t length = LengthMs();
    const int pct =
        length > 0 ? static_cast<int>(std::clamp<int64_t>(clockMs_ * 100 / length, 0, 100)) : 0;
    parts_.controls.ShowPosition(pct, TimeText());
    emit ClockChanged();
}

void PlaybackSession::ShowSecond(int32_t second, bool jump) {
    const TrackEntry* cur = track_.At(second);
    const int32_t before = shown_;
    shown_ = cur != nullptr ? second : -1;
    parts_.instruments.ShowSample(cur);
    CMapCalls& map = parts_.map;
    if (cur != nullptr && map.PageLoaded()) {
        // In step the marker goes ahead to the entry the instruments show next, so that the
        // page's move lasts the second; a jump puts it where the instruments are.
        const TrackEntry* to = jump || second != before + 1 ? cur : track_.At(second + 1);
        if (to != nullptr && cur->sample.valid > 0 && to->sample.valid > 0) {
            const Degrees at(to->sample);
            map.MoveTo(at.lat, at.lon);
            map.RenewCursor(at.lat, at.lon);
        }
    }
}

void PlaybackSession::Follow(int64_t ms, bool jump) {
    const int64_t length = LengthMs();
    clockMs_ = std::max<int64_t>(0, length > 0 ? std::min(ms, length) : ms);
    const int32_t second = static_cast<int32_t>(clockMs_ / 1000);
    if (track_.First() != nullptr && (jump || second != shown_)) {
        const bool ran_out = track_.At(second) == nullptr;
        ShowSecond(second, jump);
        ShowClock();
        // The log has run out: the recording ends, unless the user only looked there.
        if (ran_out && state_ == PlaybackState::Playing)
            NextRecording();
        return;
    }
    ShowClock();
}

void PlaybackSession::OnLogTick() {
    if (track_.First() == nullptr || state_ != PlaybackState::Playing || ClipIsClock()) {
        logTimer_.stop();
        return;
    }
    Follow((clockMs_ / 1000 + 1) * 1000, false);
}

void PlaybackSession::OnPositionChanged(CClipPlayer* from) {
    // A player already replaced has nothing more to say.
    if (from != player_.get() || player_->GetMediaState() == MediaState::Stopped)
        return;
    const int64_t ms = player_->PositionMs();
    if (seekTargetMs_ >= 0) {
        if (std::abs(ms - seekTargetMs_) > 1000)
            return;
        seekTargetMs_ = -1;
        seekSettle_.stop();
    }
    Follow(ms, false);
}

void PlaybackSession::OnGraphNotify(CClipPlayer* from) {
    if (from != player_.get())
        return;
    const bool wasPlaying = player_->GetMediaState() != MediaState::Stopped;
    const bool ended = player_->HandleGraphEvents() == kClipEnded;
    if (!wasPlaying || player_->GetMediaState() != MediaState::Stopped ||
        state_ == PlaybackState::Stopped)
        return;
    // The clip has ended: so has the recording. A clip the backend gave up on leaves its
    // log playing on the log's own clock.
    if (ended)
        NextRecording();
    else if (state_ == PlaybackState::Playing && track_.First() != nullptr)
        logTimer_.start();
}

void PlaybackSession::SeekPercent(int pos) {
    if (parts_.recordings.GetSelFilePath().empty())
        return;
    SeekMs(LengthMs() * std::clamp(pos, 0, 100) / 100);
}

void PlaybackSession::Seek(int32_t second) {
    SeekMs(int64_t{second} * 1000);
}

void PlaybackSession::SkipMs(int64_t deltaMs) {
    SeekMs(std::max<int64_t>(0, clockMs_ + deltaMs));
}

void PlaybackSession::SeekMs(int64_t ms) {
    ms = std::max<int64_t>(0, ms);
    if (IsClipRow() && player_) {
        // Stopped, the clip opens paused there, so that the picture shows that moment too.
        if (state_ == PlaybackState::Stopped && player_->GetMediaState() == MediaState::Stopped) {
            const std::string path = parts_.recordings.GetSelFilePath();
            if (player_->OpenMedia(path, RearClipOf(path)) == -1)
                return;
            player_->SetRate(rate_);
            player_->SetVolumeLevel(parts_.controls.VolumeLevel());
            player_->TogglePause();
            state_ = PlaybackState::Paused;
        }
        player_->SeekToMs(ms);
        seekTargetMs_ = ms;
        seekSettle_.start();
    }
    const int64_t length = LengthMs();
    // A clip played to its end, or a log past it, has nothing to show beyond.
    if (length > 0 && ms >= length)
        ms = length - 1;
    Follow(ms, true);
}

bool PlaybackSession::CanStepFrames() const {
    return state_ != PlaybackState::Playing && ClipIsClock();
}

void PlaybackSession::StepFrames(int frames) {
    if (!CanStepFrames())
        return;
    seekTargetMs_ = player_->StepFrames(frames);
    seekSettle_.start();
    Follow(seekTargetMs_, true);
}

void PlaybackSession::SetRate(double rate) {
    if (std::find(std::begin(kRates), std::end(kRates), rate) == std::end(kRates))
        return;
    rate_ = rate;
    logTimer_.setInterval(static_cast<int>(std::lround(kLogTimerMs / rate)));
    if (player_)
        player_->SetRate(rate);
    ShowClock();
}

void PlaybackSession::ChangeRate(bool faster) {
    const auto at = std::find(std::begin(kRates), std::end(kRates), rate_);
    if (faster && at + 1 != std::end(kRates))
        SetRate(*(at + 1));
    else if (!faster && at != std::begin(kRates))
        SetRate(*(at - 1));
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
    // A message box of the change lets clock reports run inside it; they must not start a
    // second change on top of this one.
    if (changingRecording_)
        return;
    changingRecording_ = true;
    CRecordingSelection& list = parts_.recordings;
    if ((next ? list.SelectNext() : list.SelectPrevious()) != -1 &&
        KindOfFile(list.GetSelFilePath()) != FileKind::Unknown)
        StartOpen(AfterLoad::PlayIfTrack, false);
    changingRecording_ = false;
}
