#include "playback/media_player.h"

#include <QAudio>
#include <QAudioOutput>
#include <QCoreApplication>
#include <QFileInfo>
#include <QMediaFormat>
#include <QMediaPlayer>
#include <QUrl>

#include <malloc.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "app/format.h"
#include "app/message.h"
#include "playback/ts_duration.h"

namespace {

bool BackendDecodes(DecoderKind kind) {
    QMediaFormat format;  // the codec queries are not const
    if (kind == DecoderKind::Video)
        return format.supportedVideoCodecs(QMediaFormat::Decode)
            .contains(QMediaFormat::VideoCodec::H264);
    return format.supportedAudioCodecs(QMediaFormat::Decode)
        .contains(QMediaFormat::AudioCodec::AAC);
}

DecoderCheck& CurrentDecoderCheck() {
    static DecoderCheck check = BackendDecodes;
    return check;
}

// The backend's streaming threads come and go with every clip, and each new thread would get
// a malloc arena of its own and keep what it freed there: a player that opens clip after clip
// would grow by megabytes a minute. A few arenas, shared from the start of the process (before
// any thread has made its own), keep it flat.
[[maybe_unused]] const int kMallocArenasLimited = mallopt(M_ARENA_MAX, 2);

}  // namespace

DecoderCheck SetDecoderCheck(DecoderCheck check) {
    DecoderCheck previous = CurrentDecoderCheck();
    CurrentDecoderCheck() = check ? std::move(check) : DecoderCheck(BackendDecodes);
    return previous;
}

int VolumeHundredths(int level) {
    return (5 * std::clamp(level, 0, 10) - 50) * 200;
}

float LinearVolume(int hundredths) {
    if (hundredths <= -10000)
        return 0.0f;
    return QAudio::convertVolume(hundredths / 100.0f, QAudio::DecibelVolumeScale,
                                 QAudio::LinearVolumeScale);
}

float UnitsPerSecond(int64_t durationSeconds) {
    if (durationSeconds == 0)
        return std::numeric_limits<float>::infinity();
    return static_cast<float>(100.0 / static_cast<double>(durationSeconds));
}

int64_t SeekUnits(int pos, float unitsPerSecond) {
    const long double units = static_cast<long double>(pos) / unitsPerSecond * 10000000.0L;
    // Before any clip was rendered there are no units per second: seek to the start.
    if (!std::isfinite(units) || std::fabs(units) >= 9.2e18L)
        return 0;
    return static_cast<int64_t>(units);
}

std::string FormatPlayTime(int64_t position, int64_t duration) {
    auto h = [](int64_t s) { return static_cast<unsigned>((s / 3600) % 60); };
    auto m = [](int64_t s) { return static_cast<unsigned>((s / 60) % 60); };
    auto s = [](int64_t v) { return static_cast<unsigned>(v % 60); };
    return FormatText("%02u:%02u:%02u / %02u:%02u:%02u", h(position), m(position), s(position),
                      h(duration), m(duration), s(duration));
}

CMediaPlayer::CMediaPlayer(CPlayerDisplay& display, CClipPlayerEvents* events, QObject* parent)
    : QObject(parent), display_(display), events_(events) {
    timer_.setInterval(kPlayerTimerMs);
    connect(&timer_, &QTimer::timeout, this, [this] {
        if (events_ != nullptr)
            events_->OnPlayerTick(this);
    });
}

CMediaPlayer::~CMediaPlayer() {
    ReleaseGraph();
}

int CMediaPlayer::BuildGraph() {
    DropGraph();
    graph_ = std::make_unique<QMediaPlayer>();
    if (!graph_->isAvailable()) {
        ShowMessage("Failed to Create Graph Builder");
        return -1;
    }
    if (!CurrentDecoderCheck()(DecoderKind::Audio)) {
        ShowMessage("Failed to Create LAVAudioDecoder Filter", "Error");
        return -1;
    }
    if (!CurrentDecoderCheck()(DecoderKind::Video)) {
        ShowMessage("Failed to Create LAVVideoDecoder Filter", "Error");
        return -1;
    }
    audio_ = std::make_unique<QAudioOutput>();
    control_ = graph_.get();
    graph_->setAudioOutput(audio_.get());

    durationSeconds_ = 0;
    position_ = 0;
    PlaceVideoWindow();
    connect(graph_.get(), &QMediaPlayer::durationChanged, this, [this](qint64 ms) {
        if (ms > 0)
            SetDuration(ms);
    });
    connect(graph_.get(), &QMediaPlayer::mediaStatusChanged, this,
            [this](QMediaPlayer::MediaStatus status) { OnMediaStatus(status); });
    connect(graph_.get(), &QMediaPlayer::errorOccurred, this, [this] { OnMediaError(); });
    connect(graph_.get(), &QMediaPlayer::seekableChanged, this, [this](bool seekable) {
        if (seekable && pendingSeekMs_ >= 0)
            graph_->setPosition(std::exchange(pendingSeekMs_, -1));
    });
    playing_ = false;
    state_ = MediaState::Stopped;
    return 0;
}

int CMediaPlayer::OpenMedia(const std::string& path) {
    path_ = path;
    if (playing_)
        StopMedia();
    if (BuildGraph() == -1)
        return -1;
    RenderAndRun();
    display_.ShowPath(QString::fromStdString(path));
    return 1;
}

int CMediaPlayer::RenderAndRun() {
    const QFileInfo file(QString::fromStdString(path_));
    if (control_ == nullptr || !file.isFile() || !file.isReadable()) {
        ShowMessage("Failed to add RenderFile to graph");
        return -1;
    }
    durationKnown_ = false;
    graph_->setSource(QUrl::fromLocalFile(file.absoluteFilePath()));
    PlaceVideoWindow();
    // The backend loads asynchronously: the length usually arrives a moment later through
    // durationChanged or the loaded status (SetDuration); until then ticks wait.
    durationSeconds_ = 0;
    unitsPerSecond_ = UnitsPerSecond(0);
    if (graph_->duration() > 0)
        SetDuration(graph_->duration());
    playing_ = true;
    state_ = MediaState::Running;
    display_.EnablePlayButton();
    display_.ShowProgress(0, true);
    timer_.start();
    graph_->play();
    if (graph_->error() != QMediaPlayer::NoError) {
        ShowMessage("Failed to Run to graph");
        return -1;
    }
    return 1;
}

int CMediaPlayer::TogglePause() {
    if (control_ == nullptr)
        return 1;
    if (playing_) {
        control_->pause();
        playing_ = false;
        state_ = MediaState::Paused;
    } else {
        control_->play();
        playing_ = true;
        state_ = MediaState::Running;
    }
    return 1;
}

int CMediaPlayer::StopMedia() {
    if (control_ == nullptr)
        return 1;
    if (playing_) {
        control_->stop();
        playing_ = false;
    }
    state_ = MediaState::Stopped;
    display_.ShowProgress(0, true);
    position_ = 0;
    display_.ShowTime(QStringLiteral("00:00:00 / 00:00:00"));
    return 1;
}

void CMediaPlayer::SeekToSecond(int32_t second) {
    position_ = second;
    if (control_ == nullptr)
        return;
    const int64_t ms = int64_t{second} * 1000;
    // While the clip is still loading the backend ignores seeks; it gets this one as soon
    // as it can seek.
    if (control_->isSeekable())
        control_->setPosition(ms);
    else
        pendingSeekMs_ = ms;
}

int32_t CMediaPlayer::SecondsAtPercent(int pos) const {
    return static_cast<int32_t>(SeekUnits(pos, unitsPerSecond_) / 10000000);
}

int CMediaPlayer::SetVolumeLevel(int level) {
    if (audio_ != nullptr)
        audio_->setVolume(LinearVolume(VolumeHundredths(level)));
    return 1;
}

int CMediaPlayer::PlaceVideoWindow() {
    if (control_ == nullptr)
        return 0;
    if (video_ == nullptr) {
        video_ = display_.VideoWindow();
        if (video_ == nullptr)
            return 0;
        control_->setVideoSink(video_->videoSink());
    }
    video_->show();
    video_->raise();
    return 1;
}

TickResult CMediaPlayer::TickPosition() {
    if (!playing_)
        return TickResult::Idle;
    // Still loading: the clip has not started, so there is no second to count yet.
    if (!durationKnown_)
        return TickResult::Counted;
    if (position_ >= durationSeconds_)
        return TickResult::ReachedEnd;
    position_ += 1;
    const int pct = static_cast<int>(static_cast<double>(position_) * unitsPerSecond_);
    display_.ShowProgress(pct, false);
    unitsPerSecond_ = UnitsPerSecond(durationSeconds_);
    display_.ShowTime(QString::fromStdString(FormatPlayTime(position_, durationSeconds_)));
    return TickResult::Counted;
}

int CMediaPlayer::HandleGraphEvents() {
    if (control_ == nullptr) {
        ShowMessage("MediaEventEx interface error", "error");
        return 0;
    }
    while (!pending_.empty()) {
        const long code = pending_.front();
        pending_.pop_front();
        if (code == kEventComplete)
            StopMedia();
    }
    return 1;
}

void CMediaPlayer::ReleaseGraph() {
    DropGraph();
    timer_.stop();
}

void CMediaPlayer::Dispose() {
    ReleaseGraph();
    events_ = nullptr;
    deleteLater();
}

void CMediaPlayer::DropGraph() {
    if (graph_ != nullptr)
        graph_->disconnect(this);
    control_ = nullptr;
    pending_.clear();
    pendingSeekMs_ = -1;
    // The pipeline goes before the outputs it renders into.
    const bool hadGraph = graph_ != nullptr;
    graph_.reset();
    audio_.reset();
    // What the pipeline's threads freed stays with the process unless handed back.
    if (hadGraph)
        malloc_trim(0);
    if (video_ != nullptr) {
        video_->Clear();
        video_->hide();
    }
    video_ = nullptr;
    durationKnown_ = false;
}

void CMediaPlayer::SetDuration(int64_t milliseconds) {
    durationSeconds_ = milliseconds / 1000;
    unitsPerSecond_ = UnitsPerSecond(durationSeconds_);
    durationKnown_ = true;
}

void CMediaPlayer::OnMediaStatus(int status) {
    switch (status) {
        case QMediaPlayer::LoadedMedia:
        case QMediaPlayer::BufferingMedia:
        case QMediaPlayer::BufferedMedia:
        case QMediaPlayer::EndOfMedia:
            if (!durationKnown_) {
                int64_t ms = graph_->duration();
                // The backend tells no length for transport streams; their time stamps do.
                if (ms <= 0)
                    ms = std::max<int64_t>(TransportStreamDurationMs(path_), 0);
                SetDuration(ms);
            }
            if (status == QMediaPlayer::EndOfMedia)
                PostEvent(kEventComplete);
            break;
        default:
            break;
    }
}

void CMediaPlayer::OnMediaError() {
    // A clip that cannot be loaded is a failed render; errors after loading only end the
    // picture, as the timer still moves the form on.
    if (durationKnown_ || !playing_)
        return;
    // Settled before the box: the backend reports more errors while the box is open.
    playing_ = false;
    state_ = MediaState::Stopped;
    timer_.stop();
    ShowMessage("Failed to add RenderFile to graph");
}

void CMediaPlayer::PostEvent(long code) {
    pending_.push_back(code);
    QCoreApplication::postEvent(this, new QEvent(kGraphNotifyEvent));
}

bool CMediaPlayer::event(QEvent* event) {
    if (event->type() != kGraphNotifyEvent)
        return QObject::event(event);
    if (events_ != nullptr)
        events_->OnGraphNotify(this);
    return true;
}
