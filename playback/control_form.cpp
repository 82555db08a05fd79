#include "playback/control_form.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QResizeEvent>
#include <QThread>
#include <QTreeWidget>

#include "app/app_state.h"
#include "app/format.h"
#include "app/history_log.h"
#include "app/message.h"
#include "instruments/speedo_meter.h"
#include "skin/dialog_template.h"
#include "skin/pro_slider_ctrl.h"
#include "skin/skin_button.h"
#include "track/track.h"
#include "track/track_export.h"

namespace {

constexpr int kFormTemplate = 132;

// Control ids of the form's template.
enum ControlId {
    kCompass = 1160,
    kSpeedometer = 1158,
    kPathLine = 1174,
    kPositionSlider = 1189,
    kPlayButton = 1169,
    kPrevButton = 1177,
    kNextButton = 1178,
    kStopButton = 1170,
    kTimeText = 1171,
    kSpeakerButton = 1194,
    kVolumeSlider = 1191,
    kSatelliteChart = 1163,
    kGsensorChart = 1161,
    kFolderBox = 1005,
    kSelectButton = 1154,
    kList = 1155,
    kProgressBar = 1175,
};

constexpr int kRewindSettleMs = 200;

struct ButtonImages {
    int id, normal, pressed, hover, disabled, focus, mask;
};
constexpr ButtonImages kPlayLook{kPlayButton, 1196, 1194, 1197, 0, 0, 1195};
constexpr ButtonImages kPauseLook{kPlayButton, 1218, 1216, 1219, 0, 0, 1217};
constexpr ButtonImages kOtherButtons[] = {
    {kPrevButton, 1204, 1202, 1205, 0, 0, 1203},
    {kNextButton, 1200, 1198, 1201, 0, 0, 1199},
    {kStopButton, 1208, 1206, 1209, 0, 0, 1207},
    {kSelectButton, 1212, 1210, 1213, 0, 0, 1211},
    {kSpeakerButton, 1215, 1215, 1215, 0, 1215, 1214},
};

void ApplyImages(CSkinButton* button, const ButtonImages& i) {
    if (button != nullptr)
        button->SetBitmaps(i.normal, i.pressed, i.hover, i.disabled, i.focus, i.mask, 0, 0, 0);
}

bool IsClip(int type) {
    return type == 1 || type == 2;
}

// A sample's position in decimal degrees, as the map page takes it.
struct Degrees {
    explicit Degrees(const TrackSample& s) { NmeaToDegrees(s.lat, s.lon, &lat, &lon); }
    double lat = 0;
    double lon = 0;
};

}  // namespace

CControlForm::CControlForm(QWidget* parent) : QWidget(parent) {
    setAcceptDrops(true);
    CreateControls();

    theApp().controlForm = this;
    theApp().LoadConfig();
    DeleteHistoryLog();
    WriteHistoryLog("test\n");

    positionSlider_->setRange(0, 100);
    positionSlider_->SetDrawRange(0, 100);
    positionSlider_->setValue(0);
    positionSlider_->SetDrawPos(0);
    volumeSlider_->setRange(0, 10);
    volumeSlider_->SetDrawRange(0, 10);
    volumeSlider_->setValue(10);
    volumeSlider_->SetDrawPos(10);

    recordings_->InitListColumns();
    recordings_->SetFolder(theApp().folderPath);
    SetUpInstruments();
    CreatePlayer();
    SetButtonBitmaps();
    CaptureLayout();
    ApplyLayout();

    logTimer_.setInterval(1000);
    connect(&logTimer_, &QTimer::timeout, this, [this] { OnTimer(kLogTimer); });
    qApp->installEventFilter(this);
}

CControlForm::~CControlForm() {
    qApp->removeEventFilter(this);
    logTimer_.stop();
    if (player_)
        player_->ReleaseGraph();
    player_.reset();
    FreeTrack(track_);
}

void CControlForm::CreateControls() {
    const auto tmpl = LoadDialogTemplate(kFormTemplate);
    if (!tmpl)
        return;
    resize(tmpl->PixelSize());
    CreateDialogControls(this, *tmpl, [](const ControlTemplate& c, QWidget* parent) -> QWidget* {
        switch (c.id) {
            case kSpeedometer:
            case kCompass:
            case kGsensorChart:
            case kSatelliteChart:
                return new CSpeedoMeter(parent);
            case kPlayButton:
            case kPrevButton:
            case kNextButton:
            case kStopButton:
            case kSelectButton:
            case kSpeakerButton: {
                auto* button = new CSkinButton(parent);
                button->setText(c.text);
                return button;
            }
            case kPositionSlider:
            case kVolumeSlider:
                return new CProSliderCtrl(parent);
            default:
                return nullptr;
        }
    });

    speedometer_ = qobject_cast<CSpeedoMeter*>(GetDlgItem(this, kSpeedometer));
    compass_ = qobject_cast<CSpeedoMeter*>(GetDlgItem(this, kCompass));
    gsensorChart_ = qobject_cast<CSpeedoMeter*>(GetDlgItem(this, kGsensorChart));
    satelliteChart_ = qobject_cast<CSpeedoMeter*>(GetDlgItem(this, kSatelliteChart));
    playButton_ = qobject_cast<CSkinButton*>(GetDlgItem(this, kPlayButton));
    positionSlider_ = qobject_cast<CProSliderCtrl*>(GetDlgItem(this, kPositionSlider));
    volumeSlider_ = qobject_cast<CProSliderCtrl*>(GetDlgItem(this, kVolumeSlider));
    list_ = qobject_cast<QTreeWidget*>(GetDlgItem(this, kList));
    folderBox_ = qobject_cast<QLineEdit*>(GetDlgItem(this, kFolderBox));
    recordings_ = std::make_unique<CRecordingList>(list_, folderBox_, this);
    recordings_->SetBeforeRefill([this] {
        StopPlayback(true);
        ReplacePlayer();
    });

    // White text straight over the black background beneath.
    for (int id : {kTimeText, kPathLine}) {
        if (auto* label = qobject_cast<QLabel*>(GetDlgItem(this, id))) {
            QPalette p = label->palette();
            p.setColor(QPalette::WindowText, Qt::white);
            label->setPalette(p);
            label->setAutoFillBackground(false);
        }
    }

    connect(qobject_cast<CSkinButton*>(GetDlgItem(this, kSelectButton)), &QPushButton::clicked,
            this, [this] { recordings_->SelectRecordings(); });
    connect(playButton_, &QPushButton::clicked, this, &CControlForm::PlayPause);
    connect(qobject_cast<CSkinButton*>(GetDlgItem(this, kStopButton)), &QPushButton::clicked, this,
            [this] { StopPlayback(true); });
    connect(qobject_cast<CSkinButton*>(GetDlgItem(this, kPrevButton)), &QPushButton::clicked, this,
            &CControlForm::PrevRecording);
    connect(qobject_cast<CSkinButton*>(GetDlgItem(this, kNextButton)), &QPushButton::clicked, this,
            &CControlForm::NextRecording);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] {
        OpenRecording();
        PlayPause();
    });
    connect(positionSlider_, &CProSliderCtrl::ReleasedCapture, this,
            &CControlForm::OnPositionSliderReleased);
    connect(volumeSlider_, &CProSliderCtrl::ReleasedCapture, this,
            &CControlForm::OnVolumeSliderReleased);
}

void CControlForm::SetUpInstruments() {
    speedometer_->SetFaceBitmap(1159);
    speedometer_->SetNeedleWidth(3);
    speedometer_->SetNeedleColor(0x3F57FFu);
    speedometer_->SetMode(InstrumentMode::Speedometer);
    compass_->SetFaceBitmap(1161);
    compass_->SetMode(InstrumentMode::Compass);
    gsensorChart_->SetFaceBitmap(1185);
    gsensorChart_->SetMode(InstrumentMode::GSensorChart);
    satelliteChart_->SetFaceBitmap(1186);
    satelliteChart_->SetMode(InstrumentMode::SatelliteChart);
}

void CControlForm::SetButtonBitmaps() {
    SetPlayLook(false);
    for (const ButtonImages& images : kOtherButtons)
        ApplyImages(qobject_cast<CSkinButton*>(GetDlgItem(this, images.id)), images);
}

void CControlForm::SetPlayLook(bool pause) {
    pauseLook_ = pause;
    ApplyImages(playButton_, pause ? kPauseLook : kPlayLook);
}

void CControlForm::RedrawPlayButton() {
    playButton_->setEnabled(false);
    playButton_->setEnabled(true);
}

int CControlForm::CreatePlayer() {
    player_ = std::make_unique<CMediaPlayer>();
    connect(player_.get(), &CMediaPlayer::Timer, this, &CControlForm::OnTimer);
    return player_->BuildGraph(this);
}

void CControlForm::ReplacePlayer() {
    if (player_) {
        player_->ReleaseGraph();
        player_->disconnect(this);
        // The old player may be the one whose timer tick got us here.
        player_.release()->deleteLater();
    }
    CreatePlayer();
}

void CControlForm::ShowOnInstruments(const TrackEntry* entry) {
    for (CSpeedoMeter* m : {speedometer_, compass_, gsensorChart_, satelliteChart_}) {
        m->SetCurrentSample(entry);
        m->Refresh();
    }
}

void CControlForm::MovePositionSlider(int pos, bool respectHeldThumb) {
    if (!respectHeldThumb || !positionSlider_->ThumbHeld())
        positionSlider_->setValue(pos);
    positionSlider_->SetDrawPos(pos);
}

int CControlForm::OpenRecording() {
    const std::string path = recordings_->GetSelFilePath();
    if (path.empty()) {
        ShowMessage("No selected File...");
        return -1;
    }
    const int type = FileTypeFromExtension(path.c_str());
    if (type <= 0) {
        ShowMessage("unknow file type...");
        return -1;
    }
    StopPlayback(false);
    ReplacePlayer();

    FreeTrack(track_);
    track_ = cursor_ = nullptr;
    // No instrument may keep an entry of the released track.
    for (CSpeedoMeter* m : {gsensorChart_, compass_, speedometer_, satelliteChart_}) {
        m->SetSampleList(nullptr);
        m->SetCurrentSample(nullptr);
    }

    lastIndex_ = 0;
    const std::string logPath = LogPathFor(path, type);
    if (!QFileInfo::exists(QString::fromStdString(logPath))) {
        ShowMessage(FormatText("No NMEA File : %s", logPath.c_str()));
    } else {
        int analysis = 0;
        track_ = LoadTrack(logPath, theApp().ModuleFile("out_nmea.txt"), &analysis);
        if (analysis == kAnalysisOpenFailed)
            ShowMessage(AnalysisFailureText(analysis));
        cursor_ = track_;
        for (CSpeedoMeter* m : {gsensorChart_, compass_, speedometer_, satelliteChart_})
            m->SetSampleList(track_);
    }
    if (track_ == nullptr) {
        ShowMessage(FormatText("No Nmea Data : %s", logPath.c_str()));
        return -1;
    }

    for (const TrackEntry* e = track_; e != nullptr; e = e->next) {
        if (e->sample.valid > 0 && map_.PageLoaded()) {
            const Degrees at(e->sample);
            map_.AddPolyLinePoint(at.lat, at.lon);
        }
        lastIndex_ = e->index;
    }
    if (map_.PageLoaded()) {
        map_.DrawPolyLine();
        const Degrees at(track_->sample);
        map_.Reload(at.lat, at.lon, 16);
        map_.MoveTo(at.lat, at.lon);
        map_.RenewCursor(at.lat, at.lon);
    }
    return 0;
}

void CControlForm::PlayPause() {
    const std::string path = recordings_->GetSelFilePath();
    if (path.empty())
        return;
    const int type = FileTypeFromExtension(path.c_str());
    if (type <= 0)
        return;
    const std::string logPath = LogPathFor(path, type);

    if (QFileInfo::exists(QString::fromStdString(logPath))) {
        switch (playbackState_) {
            case PlaybackState::Stopped:
                OpenRecording();
                [[fallthrough]];
            case PlaybackState::Paused:
                if (cursor_ != nullptr) {
                    logTimer_.start();
                    playbackState_ = PlaybackState::Playing;
                    ResizeMap();
                }
                SetPlayLook(true);
                break;
            case PlaybackState::Playing:
                logTimer_.stop();
                playbackState_ = PlaybackState::Paused;
                SetPlayLook(false);
                break;
        }
    }

    if (IsClip(type) && player_ && QFileInfo::exists(QString::fromStdString(path))) {
        const MediaState state = player_->GetMediaState();
        if (state == MediaState::Running || state == MediaState::Paused) {
            player_->TogglePause();
            SetPlayLook(player_->GetMediaState() == MediaState::Running);
        } else {
            if (player_->OpenMedia(recordings_->GetSelFilePath()) == -1)
                return;
            SetPlayLook(true);
        }
        player_->SetVolumeLevel(volumeSlider_->value());
    }
    RedrawPlayButton();
}

void CControlForm::StopPlayback(bool rewind) {
    logTimer_.stop();
    playbackState_ = PlaybackState::Stopped;
    cursor_ = track_;
    ShowOnInstruments(cursor_);
    if (player_) {
        if (rewind) {
            player_->SeekToPercent(0);
            // Give the backend a moment to settle on the first frame before it stops.
            QThread::msleep(kRewindSettleMs);
        }
        player_->StopMedia();
    }
    positionSlider_->setValue(0);
    positionSlider_->SetDrawPos(0);
    SetPlayLook(false);
    RedrawPlayButton();
}

void CControlForm::OnTimer(int id) {
    if (id != kLogTimer) {
        if (player_ && player_->TickPosition() == 2)
            NextRecording();
        return;
    }
    const std::string path = recordings_->GetSelFilePath();
    const int type = FileTypeFromExtension(path.c_str());
    TrackEntry* cur = CurrentSample(cursor_);
    ShowOnInstruments(cur);
    if (cur == nullptr) {
        NextRecording();
        return;
    }
    TrackEntry* next = AdvanceSample(cursor_);
    if (next == nullptr)
        return;
    if (map_.PageLoaded() && cur->sample.valid > 0 && next->sample.valid > 0) {
        const Degrees at(next->sample);
        map_.MoveTo(at.lat, at.lon);
        map_.RenewCursor(at.lat, at.lon);
    }
    if (type == 3)
        MovePositionSlider(next->index * 100 / (lastIndex_ + 1), true);
}

void CControlForm::OnPositionSliderReleased() {
    const int pos = positionSlider_->value();
    positionSlider_->SetDrawPos(pos);
    const std::string path = recordings_->GetSelFilePath();
    if (path.empty())
        return;
    const int type = FileTypeFromExtension(path.c_str());
    if (type == 3) {
        cursor_ = FindSample(track_, (lastIndex_ + 1) * pos / 100);
    } else if (IsClip(type) && player_) {
        player_->position = player_->SecondsAtPercent(pos);
        player_->SeekToPercent(pos);
        cursor_ = FindSample(track_, player_->position);
    }
}

void CControlForm::OnVolumeSliderReleased() {
    const int vol = volumeSlider_->value();
    volumeSlider_->SetDrawPos(vol);
    if (player_)
        player_->SetVolumeLevel(vol);
}

void CControlForm::NextRecording() {
    if (recordings_->SelectNext() != -1 && OpenRecording() != -1)
        PlayPause();
}

void CControlForm::PrevRecording() {
    if (recordings_->SelectPrevious() != -1 && OpenRecording() != -1)
        PlayPause();
}

void CControlForm::StartMap() {
    map_.StartMap();
}

void CControlForm::ResizeMap() {
    map_.ResizeMap();
}

bool CControlForm::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type t = event->type();
    if (t == QEvent::KeyPress || t == QEvent::KeyRelease) {
        auto* w = qobject_cast<QWidget*>(watched);
        if (w != nullptr && (w == this || isAncestorOf(w))) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
            const bool plainKeyDown =
                t == QEvent::KeyPress && !(key->modifiers() & Qt::AltModifier);
            if (enter || plainKeyDown)
                return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CControlForm::CaptureLayout() {
    const QRect listRect = list_->geometry();
    const QRect speedo = speedometer_->geometry();
    const QRect folder = folderBox_->geometry();
    const QRect progress = GetDlgItem(this, kProgressBar)->geometry();
    margins_ = {listRect.left() - (speedo.right() + 1), listRect.top() - (folder.bottom() + 1),
                progress.left() - (listRect.right() + 1), height() - (listRect.bottom() + 1)};
}

void CControlForm::ApplyLayout() {
    const QRect speedo = speedometer_->geometry();
    const QRect folder = folderBox_->geometry();
    const QRect progress = GetDlgItem(this, kProgressBar)->geometry();
    const int left = speedo.right() + 1 + margins_[0];
    const int right = progress.left() - margins_[2];
    const int top = folder.bottom() + 1 + margins_[1];
    const int bottom = height() - margins_[3];
    list_->setGeometry(left, top, right - left, bottom - top);
    update();
}

void CControlForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    QWidget* videoPage = theApp().videoPage;
    QWidget* mainDialog = theApp().mainDialog;
    // A resize made while the form was hidden arrives late, without an old size, when the
    // main window first shows; the main window's own layout has placed the pages by then.
    if (videoPage != nullptr && mainDialog != nullptr && event->oldSize().isValid()) {
        videoPage->setGeometry(0, 0, mainDialog->frameGeometry().width() - event->size().width(),
                               videoPage->height());
    }
    if (list_ != nullptr)
        ApplyLayout();
}

void CControlForm::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CControlForm::dropEvent(QDropEvent* event) {
    recordings_->AddDroppedRecordings(DroppedPaths(event->mimeData()));
    event->acceptProposedAction();
}

bool CControlForm::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    if (event->type() == kGraphNotifyEvent && player_)
        player_->HandleGraphEvents();
    return handled;
}

void CControlForm::mousePressEvent(QMouseEvent* event) {
    // Clicks on the form's own background do nothing.
    event->accept();
}
