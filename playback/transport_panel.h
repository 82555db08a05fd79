#pragma once
// The control form's transport controls as playback sees them: the play button's two looks,
// the position and volume sliders, the speaker, the speed bar, the progress bar, the time
// text, the path line and the video page's picture. Found in the form by their control ids.

#include <QPointer>

#include "playback/media_player.h"
#include "playback/playback_session.h"

class CProSliderCtrl;
class CSegmentBar;
class CSkinButton;
class QWidget;

class CTransportPanel : public CTransportControls, public CPlayerDisplay {
public:
    // Control ids of the form's template.
    static constexpr int kPlayButton = 1169, kPrevButton = 1177, kNextButton = 1178,
                         kStopButton = 1170, kSelectButton = 1154, kSpeakerButton = 1194,
                         kPositionSlider = 1189, kVolumeSlider = 1191, kTimeText = 1171,
                         kPathLine = 1174, kProgressBar = 1175, kSpeedBar = 1192;

    // Sets the sliders' ranges and positions.
    explicit CTransportPanel(QWidget* form);
    // Every button's images, the play button in its play look.
    void SetButtonImages();

    CProSliderCtrl* PositionSlider() const { return positionSlider_; }
    CProSliderCtrl* VolumeSlider() const { return volumeSlider_; }
    CSegmentBar* SpeedBar() const { return speedBar_; }
    // Marks the speed shown on the speed bar.
    void ShowRate(double rate);
    // The user let go of the volume slider: the speaker shows whether it is muted.
    void VolumeMoved();
    // Mutes, or gives back the level from before muting (full when it was muted from the
    // start); the slider shows the level and the speaker its look. Returns the new level.
    int ToggleMute();
    void SetVideoWindow(CVideoWindow* window) { videoWindow_ = window; }

    void SetPlayLook(bool pause) override;
    void RedrawPlayButton() override;
    void ShowPosition(int pct, const std::string& time) override;
    void ShowLoading(int pct) override;
    int VolumeLevel() const override;

    void ShowPath(const QString& path) override;
    void EnablePlayButton() override;
    CVideoWindow* VideoWindow() override { return videoWindow_; }

private:
    void SetLabel(int id, const QString& text);
    void SetProgressBar(int pct);
    void ShowSpeaker();

    QWidget* form_;
    CSkinButton* playButton_;
    CProSliderCtrl* positionSlider_;
    CProSliderCtrl* volumeSlider_;
    CSegmentBar* speedBar_;
    int levelBeforeMute_ = 0;
    QPointer<CVideoWindow> videoWindow_;
    QString timeText_;  // shown again when loading is over
};
