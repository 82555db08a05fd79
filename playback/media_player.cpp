#include "playback/media_player.h"

#include <QAudio>
#include <QAudioOutput>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QMediaFormat>
#include <QMediaPlayer>
#include <QProgressBar>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "app/app_state.h"
#include "app/format.h"
#include "app/message.h"
#include "playback/ts_duration.h"
#include "skin/dialog_template.h"
#include "skin/pro_slider_ctrl.h"

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

void SetControlText(QWidget* owner, int id, const QString& text) {
    if (auto* label = qobject_cast<QLabel*>(GetDlgItem(owner, id)))
        label->setText(text);
}

// Moves the form's position slider: the control itself unless the user holds its thumb,
// the drawn position always.
void MoveSlider(QWidget* owner, int pos, bool evenWhenHeld) {
    QWidget* w = GetDlgItem(owner, kPositionSliderId);
    auto* pro = qobject_cast<CProSliderCtrl*>(w);
    if (auto* slider = qobject_cast<QSlider*>(w);
        slider && (evenWhenHeld || !pro || !pro->ThumbHeld()))
        slider->setValue(pos);
    if (pro)
        pro->SetDrawPos(pos);
}

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

CMediaPlayer::CMediaPlayer() {
    timer_.setInterval(kPlayerTimerMs);
    connect(&timer_, &QTimer::timeout, this, [this] { emit Timer(kPlayerTimerId); });
}

CMediaPlayer::~CMediaPlayer() {
    ReleaseGraph();
}

int CMediaPlayer::BuildGraph(QWidget* owner) {
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

    durationSeconds = 0;
    owner_ = owner;
    position = 0;
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
    playing = false;
    state_ = MediaState::Stopped;
    return 0;
}

int CMediaPlayer::OpenMedia(const std::string& path) {
    path_ = path;
    progressBar_ = qobject_cast<QProgressBar*>(GetDlgItem(owner_, kProgressBarId));
    if (playing)
        StopMedia();
    if (BuildGraph(owner_) == -1)
        return -1;
    RenderAndRun();
    SetControlText(owner_, kPathLineId, QString::fromStdString(path));
    return 1;
}

int CMediaPlayer::RenderAndRun() {
    if (graph_ == nullptr || control_ == nullptr) {
        ShowMessage("Failed to add RenderFile to graph");
        return -1;
    }
    const QFileInfo file(QString::fromStdString(path_));
    if (!file.isFile() || !file.isReadable()) {
        ShowMessage("Failed to add RenderFile to graph");
        return -1;
    }
    durationKnown_ = false;
    graph_->setSource(QUrl::fromLocalFile(file.absoluteFilePath()));
    PlaceVideoWindow();
    // The backend loads asynchronously: the length usually arrives a moment later through
    // durationChanged or the loaded status (SetDuration); until then ticks wait.
    durationSeconds = 0;
    unitsPerSecond = UnitsPerSecond(0);
    if (graph_->duration() > 0)
        SetDuration(graph_->duration());
    playing = true;
    state_ = MediaState::Running;
    if (QWidget* play = GetDlgItem(owner_, kPlayButtonId))
        play->setEnabled(true);
    if (progressBar_)
        progressBar_->setRange(0, 100);
    ResetSlider();
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
    if (playing) {
        control_->pause();
        playing = false;
        state_ = MediaState::Paused;
    } else {
        control_->play();
        playing = true;
        state_ = MediaState::Running;
    }
    return 1;
}

int CMediaPlayer::StopMedia() {
    if (control_ == nullptr)
        return 1;
    if (playing) {
        control_->stop();
        playing = false;
    }
    state_ = MediaState::Stopped;
    if (progressBar_)
        progressBar_->setValue(0);
    MoveSlider(owner_, 0, true);
    position = 0;
    SetControlText(owner_, kTimeTextId, QStringLiteral("00:00:00 / 00:00:00"));
    return 1;
}

int CMediaPlayer::SeekToPercent(int pos) {
    const int64_t units = SeekUnits(pos, unitsPerSecond);
    if (control_ == nullptr)
        return 1;
    // While the clip is still loading the backend ignores seeks; it gets this one as soon
    // as it can seek.
    if (control_->isSeekable())
        control_->setPosition(units / 10000);
    else
        pendingSeekMs_ = units / 10000;
    return 1;
}

int32_t CMediaPlayer::SecondsAtPercent(int pos) const {
    return static_cast<int32_t>(SeekUnits(pos, unitsPerSecond) / 10000000);
}

int CMediaPlayer::SetVolumeLevel(int level) {
    if (audio_ != nullptr)
        audio_->setVolume(LinearVolume(VolumeHundredths(level)));
    return 1;
}

int CMediaPlayer::PlaceVideoWindow() {
    QWidget* page = theApp().videoPage;
    if (control_ == nullptr || page == nullptr)
        return 0;
    QWidget* area = GetDlgItem(page, kVideoAreaId);
    if (area == nullptr)
        return 0;
    // One video window lives on the page and serves each player in turn.
    if (video_ == nullptr) {
        video_ = page->findChild<CVideoWindow*>(QString(), Qt::FindDirectChildrenOnly);
        if (video_ == nullptr)
            video_ = new CVideoWindow(page);
        control_->setVideoSink(video_->videoSink());
    }
    video_->setGeometry(0, 0, area->width(), area->height());
    video_->show();
    video_->raise();
    return 1;
}

int CMediaPlayer::TickPosition() {
    if (!playing)
        return 0;
    // Still loading: the clip has not started, so there is no second to count yet.
    if (!durationKnown_)
        return 1;
    if (position >= durationSeconds)
        return 2;
    position += 1;
    const int pct = static_cast<int>(static_cast<double>(position) * unitsPerSecond);
    if (progressBar_)
        progressBar_->setValue(pct);
    MoveSlider(owner_, pct, false);
    unitsPerSecond = UnitsPerSecond(durationSeconds);
    SetControlText(owner_, kTimeTextId,
                   QString::fromStdString(FormatPlayTime(position, durationSeconds)));
    return 1;
}

int CMediaPlayer::HandleGraphEvents() {
    if (control_ == nullptr) {
        ShowMessage("MediaEventEx interface error", "error");
        return 0;
    }
    while (!events_.empty()) {
        const long code = events_.front();
        events_.pop_front();
        if (code == kEventComplete)
            StopMedia();
    }
    return 1;
}

void CMediaPlayer::ReleaseGraph() {
    DropGraph();
    timer_.stop();
}

void CMediaPlayer::DropGraph() {
    if (graph_ != nullptr)
        graph_->disconnect(this);
    control_ = nullptr;
    events_.clear();
    pendingSeekMs_ = -1;
    // The pipeline goes before the outputs it renders into.
    graph_.reset();
    audio_.reset();
    if (video_ != nullptr) {
        video_->Clear();
        video_->hide();
    }
    video_ = nullptr;
    durationKnown_ = false;
}

void CMediaPlayer::SetDuration(int64_t milliseconds) {
    durationSeconds = milliseconds / 1000;
    unitsPerSecond = UnitsPerSecond(durationSeconds);
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
    if (durationKnown_ || !playing)
        return;
    ShowMessage("Failed to add RenderFile to graph");
    playing = false;
    state_ = MediaState::Stopped;
    timer_.stop();
}

void CMediaPlayer::PostEvent(long code) {
    events_.push_back(code);
    if (owner_)
        QCoreApplication::postEvent(owner_, new QEvent(kGraphNotifyEvent));
}

void CMediaPlayer::ResetSlider() {
    QWidget* w = GetDlgItem(owner_, kPositionSliderId);
    if (auto* slider = qobject_cast<QSlider*>(w))
        slider->setRange(0, 100);
    if (auto* pro = qobject_cast<CProSliderCtrl*>(w))
        pro->SetDrawRange(0, 100);
    MoveSlider(owner_, 0, true);
}
