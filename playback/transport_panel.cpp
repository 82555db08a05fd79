#include "playback/transport_panel.h"

#include <QLabel>
#include <QProgressBar>

#include <algorithm>
#include <iterator>

#include "skin/dialog_template.h"
#include "skin/pro_slider_ctrl.h"
#include "skin/segment_bar.h"
#include "skin/skin_button.h"

namespace {

struct ButtonImages {
    int id, normal, pressed, hover, disabled, focus, mask;
};
using P = CTransportPanel;
constexpr ButtonImages kPlayLook{P::kPlayButton, 1196, 1194, 1197, 0, 0, 1195};
constexpr ButtonImages kPauseLook{P::kPlayButton, 1218, 1216, 1219, 0, 0, 1217};
constexpr ButtonImages kOtherButtons[] = {
    {P::kPrevButton, 1204, 1202, 1205, 0, 0, 1203},
    {P::kNextButton, 1200, 1198, 1201, 0, 0, 1199},
    {P::kStopButton, 1208, 1206, 1209, 0, 0, 1207},
    {P::kSelectButton, 1212, 1210, 1213, 0, 0, 1211},
};
constexpr ButtonImages kSpeakerLook{P::kSpeakerButton, 1215, 1215, 1215, 0, 1215, 1214};
constexpr ButtonImages kMutedLook{P::kSpeakerButton, 1220, 1220, 1220, 0, 1220, 1214};
constexpr int kFullVolume = 10;

void ApplyImages(QWidget* form, const ButtonImages& i) {
    if (auto* button = qobject_cast<CSkinButton*>(GetDlgItem(form, i.id)))
        button->SetBitmaps(i.normal, i.pressed, i.hover, i.disabled, i.focus, i.mask, 0, 0, 0);
}

void SetRange(CProSliderCtrl* slider, int max, int pos) {
    slider->setRange(0, max);
    slider->SetDrawRange(0, static_cast<qint16>(max));
    slider->setValue(pos);
    slider->SetDrawPos(pos);
}

}  // namespace

CTransportPanel::CTransportPanel(QWidget* form)
    : form_(form),
      playButton_(qobject_cast<CSkinButton*>(GetDlgItem(form, kPlayButton))),
      positionSlider_(qobject_cast<CProSliderCtrl*>(GetDlgItem(form, kPositionSlider))),
      volumeSlider_(qobject_cast<CProSliderCtrl*>(GetDlgItem(form, kVolumeSlider))),
      speedBar_(qobject_cast<CSegmentBar*>(GetDlgItem(form, kSpeedBar))) {
    SetRange(positionSlider_, 100, 0);
    SetRange(volumeSlider_, kFullVolume, kFullVolume);
    QStringList labels;
    for (double rate : PlaybackSession::kRates) labels << QString::fromStdString(RateLabel(rate));
    speedBar_->SetLabels(labels);
    ShowRate(1);
}

void CTransportPanel::SetButtonImages() {
    SetPlayLook(false);
    for (const ButtonImages& images : kOtherButtons) ApplyImages(form_, images);
    ShowSpeaker();
}

void CTransportPanel::ShowRate(double rate) {
    const auto* rates = std::begin(PlaybackSession::kRates);
    const auto* at = std::find(rates, std::end(PlaybackSession::kRates), rate);
    speedBar_->SetCurrent(at == std::end(PlaybackSession::kRates) ? -1
                                                                  : static_cast<int>(at - rates));
}

void CTransportPanel::ShowSpeaker() {
    ApplyImages(form_, volumeSlider_->value() == 0 ? kMutedLook : kSpeakerLook);
}

void CTransportPanel::VolumeMoved() {
    volumeSlider_->SetDrawPos(volumeSlider_->value());
    ShowSpeaker();
}

int CTransportPanel::ToggleMute() {
    const int level = volumeSlider_->value();
    const int next = level > 0 ? 0 : levelBeforeMute_ > 0 ? levelBeforeMute_ : kFullVolume;
    levelBeforeMute_ = level;
    volumeSlider_->setValue(next);
    VolumeMoved();
    return next;
}

void CTransportPanel::SetPlayLook(bool pause) {
    ApplyImages(form_, pause ? kPauseLook : kPlayLook);
}

void CTransportPanel::RedrawPlayButton() {
    playButton_->setEnabled(false);
    playButton_->setEnabled(true);
}

void CTransportPanel::ShowPosition(int pct, const std::string& time) {
    if (!positionSlider_->ThumbHeld())
        positionSlider_->setValue(pct);
    positionSlider_->SetDrawPos(pct);
    SetProgressBar(pct);
    timeText_ = QString::fromStdString(time);
    SetLabel(kTimeText, timeText_);
}

void CTransportPanel::ShowLoading(int pct) {
    if (pct < 0) {
        SetLabel(kTimeText, timeText_);
        SetProgressBar(positionSlider_->value());
        return;
    }
    SetLabel(kTimeText, QStringLiteral("Loading... %1%").arg(pct));
    SetProgressBar(pct);
}

void CTransportPanel::SetProgressBar(int pct) {
    if (auto* bar = qobject_cast<QProgressBar*>(GetDlgItem(form_, kProgressBar)))
        bar->setValue(pct);
}

int CTransportPanel::VolumeLevel() const {
    return volumeSlider_->value();
}

void CTransportPanel::SetLabel(int id, const QString& text) {
    if (auto* label = qobject_cast<QLabel*>(GetDlgItem(form_, id)))
        label->setText(text);
}

void CTransportPanel::ShowPath(const QString& path) {
    SetLabel(kPathLine, path);
}

void CTransportPanel::EnablePlayButton() {
    playButton_->setEnabled(true);
}
