#include "playback/control_form.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QResizeEvent>
#include <QTreeWidget>

#include <algorithm>

#include "app/app_state.h"
#include "app/history_log.h"
#include "instruments/speedo_meter.h"
#include "skin/dialog_template.h"
#include "skin/pro_slider_ctrl.h"
#include "skin/segment_bar.h"
#include "skin/skin_button.h"

namespace {
constexpr int kFormTemplate = 132;
// Control ids of the form's template, beside the transport panel's.
constexpr int kCompass = 1160, kSpeedometer = 1158, kSatelliteChart = 1163, kGsensorChart = 1161,
              kFolderBox = 1005, kList = 1155;
using P = CTransportPanel;
}  // namespace

CControlForm::CControlForm(QWidget* parent) : QWidget(parent), anchors_(this) {
    setAcceptDrops(true);
    CreateControls();

    theApp().LoadConfig();
    DeleteHistoryLog();
    WriteHistoryLog("test\n");

    transport_ = std::make_unique<CTransportPanel>(this);
    recordings_->InitListColumns();
    recordings_->SetFolder(theApp().folderPath);
    SetUpInstruments();
    session_ = std::make_unique<PlaybackSession>(PlaybackSession::Parts{
        *recordings_, *this, *this, *transport_, [this](CClipPlayerEvents& events) {
            // A child of the form, so that a player left for deletion goes with the form.
            auto* player = new CMediaPlayer(*transport_, &events, this);
            player->BuildGraph();
            return ClipPlayerPtr(player);
        }});
    transport_->SetButtonImages();
    // Only the list moves: its bottom edge follows the form's.
    anchors_.Anchor(kList, Qt::BottomEdge);
    qApp->installEventFilter(this);
    Wire();
}

CControlForm::~CControlForm() {
    qApp->removeEventFilter(this);
    // The list's rows go with it, after this form has stopped being one.
    list_->model()->disconnect(this);
    // The player goes first: its callbacks land on this form.
    session_.reset();
}

void CControlForm::CreateControls() {
    const auto tmpl = LoadDialogTemplate(kFormTemplate);
    if (!tmpl)
        return;
    resize(tmpl->PixelSize());
    CreateDialogControls(this, *tmpl, [](const ControlTemplate& c, QWidget* parent) -> QWidget* {
        const auto is = [&c](std::initializer_list<int> ids) {
            return std::find(ids.begin(), ids.end(), c.id) != ids.end();
        };
        if (is({kSpeedometer, kCompass, kGsensorChart, kSatelliteChart}))
            return new CSpeedoMeter(parent);
        if (is({P::kPositionSlider, P::kVolumeSlider}))
            return new CProSliderCtrl(parent);
        if (c.id == P::kSpeedBar)
            return new CSegmentBar(parent);
        if (!is({P::kPlayButton, P::kPrevButton, P::kNextButton, P::kStopButton, P::kSelectButton,
                 P::kSpeakerButton}))
            return nullptr;
        auto* button = new CSkinButton(parent);
        button->setText(c.text);
        return button;
    });

    speedometer_ = qobject_cast<CSpeedoMeter*>(GetDlgItem(this, kSpeedometer));
    compass_ = qobject_cast<CSpeedoMeter*>(GetDlgItem(this, kCompass));
    gsensorChart_ = qobject_cast<CSpeedoMeter*>(GetDlgItem(this, kGsensorChart));
    satelliteChart_ = qobject_cast<CSpeedoMeter*>(GetDlgItem(this, kSatelliteChart));
    list_ = qobject_cast<QTreeWidget*>(GetDlgItem(this, kList));
    recordings_ = std::make_unique<CRecordingList>(
        list_, qobject_cast<QLineEdit*>(GetDlgItem(this, kFolderBox)), this);

    // White text straight over the black background beneath.
    for (int id : {P::kTimeText, P::kPathLine}) {
        if (auto* label = qobject_cast<QLabel*>(GetDlgItem(this, id))) {
            QPalette p = label->palette();
            p.setColor(QPalette::WindowText, Qt::white);
            label->setPalette(p);
            label->setAutoFillBackground(false);
        }
    }
    // The speed, when the time shows it, goes to a second line beside the speed bar.
    if (auto* time = qobject_cast<QLabel*>(GetDlgItem(this, P::kTimeText))) {
        time->setWordWrap(true);
        time->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
}

void CControlForm::Wire() {
    PlaybackSession* s = session_.get();
    recordings_->SetBeforeRefill([s] { s->PrepareRefill(); });
    const auto onClick = [this](int id, auto&& action) {
        connect(qobject_cast<CSkinButton*>(GetDlgItem(this, id)), &QPushButton::clicked, this,
                action);
    };
    onClick(P::kSelectButton, [this] { recordings_->SelectRecordings(); });
    onClick(P::kPlayButton, [s] { s->PlayPause(); });
    onClick(P::kStopButton, [s] { s->StopPlayback(true); });
    onClick(P::kPrevButton, [s] { s->PrevRecording(); });
    onClick(P::kNextButton, [s] { s->NextRecording(); });
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [s] {
        s->OpenRecording();
        s->PlayPause();
    });
    for (auto change : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(list_->model(), change, this, &CControlForm::ListChanged);
    connect(list_->model(), &QAbstractItemModel::modelReset, this, &CControlForm::ListChanged);
    CProSliderCtrl* position = transport_->PositionSlider();
    connect(position, &CProSliderCtrl::ReleasedCapture, this, [position, s] {
        position->SetDrawPos(position->value());
        s->SeekPercent(position->value());
    });
    CProSliderCtrl* volume = transport_->VolumeSlider();
    connect(volume, &CProSliderCtrl::ReleasedCapture, this, [this, volume, s] {
        transport_->VolumeMoved();
        s->SetVolumeLevel(volume->value());
    });
    onClick(P::kSpeakerButton, [this] { ToggleMute(); });
    connect(transport_->SpeedBar(), &CSegmentBar::Chosen, s,
            [s](int index) { s->SetRate(PlaybackSession::kRates[index]); });
    // The speed holds across recordings; whoever changes it, the bar shows it.
    connect(s, &PlaybackSession::ClockChanged, this,
            [this, s] { transport_->ShowRate(s->Rate()); });
}

void CControlForm::ToggleMute() {
    session_->SetVolumeLevel(transport_->ToggleMute());
}

QRect CControlForm::FreeRoom() const {
    const QRect chart = gsensorChart_->geometry();
    return QRect(chart.left(), chart.bottom() + 1, chart.width(),
                 std::max(0, height() - chart.bottom() - 1));
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

void CControlForm::SetSampleList(const TrackEntry* track) {
    for (CSpeedoMeter* m : {gsensorChart_, compass_, speedometer_, satelliteChart_}) {
        m->SetSampleList(track);
        if (track == nullptr)
            m->SetCurrentSample(nullptr);
    }
}

void CControlForm::ShowSample(const TrackEntry* entry) {
    for (CSpeedoMeter* m : {speedometer_, compass_, gsensorChart_, satelliteChart_}) {
        m->SetCurrentSample(entry);
        m->Refresh();
    }
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

void CControlForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // A resize made while the form was hidden arrives late, without an old size, when the
    // main window first shows; the main window's own layout has placed the pages by then.
    if (event->oldSize().isValid())
        emit WidthChanged(event->size().width());
    anchors_.Apply();
    update();
}

void CControlForm::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CControlForm::dropEvent(QDropEvent* event) {
    recordings_->AddDroppedRecordings(DroppedPaths(event->mimeData()));
    event->acceptProposedAction();
}

void CControlForm::mousePressEvent(QMouseEvent* event) {
    // Clicks on the form's own background do nothing.
    event->accept();
}
