#pragma once
// The control form: instruments, recording list, transport buttons and sliders. It owns the
// loaded track, the playback cursor and the media player, and plays recordings as two
// one-second clocks side by side: the log timer shows one track entry per tick, the
// player's timer counts the clip's position.

#include <QTimer>
#include <QWidget>

#include <array>
#include <memory>

#include "library/recording_list.h"
#include "map/map_bridge.h"
#include "playback/media_player.h"
#include "track/track_sample.h"

class CProSliderCtrl;
class CSkinButton;
class CSpeedoMeter;
class QLabel;
class QLineEdit;
class QTreeWidget;

enum class PlaybackState { Stopped = 0, Paused = 1, Playing = 2 };

class CControlForm : public QWidget {
    Q_OBJECT

public:
    static constexpr int kLogTimer = 1;

    explicit CControlForm(QWidget* parent = nullptr);
    ~CControlForm() override;

    // Recordings and playback.
    int OpenRecording();
    void PlayPause();
    void StopPlayback(bool rewind);
    void NextRecording();
    void PrevRecording();
    void OnTimer(int id);
    void OnPositionSliderReleased();
    void OnVolumeSliderReleased();
    int CreatePlayer();

    // Map: called by the map window through the window registry.
    Q_INVOKABLE void StartMap();
    Q_INVOKABLE void ResizeMap();

    PlaybackState State() const { return playbackState_; }
    const TrackEntry* Track() const { return track_; }
    const TrackEntry* Cursor() const { return cursor_; }
    int LastIndex() const { return lastIndex_; }
    CMediaPlayer* Player() const { return player_.get(); }
    CRecordingList& Recordings() { return *recordings_; }
    CMapBridge& Map() { return map_; }
    bool LogTimerActive() const { return logTimer_.isActive(); }
    // Which look the play button shows: true for the pause look.
    bool PlayButtonShowsPause() const { return pauseLook_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    void CreateControls();
    void SetUpInstruments();
    void SetButtonBitmaps();
    void SetPlayLook(bool pause);
    void RedrawPlayButton();
    void ReplacePlayer();
    void ShowOnInstruments(const TrackEntry* entry);
    void MovePositionSlider(int pos, bool respectHeldThumb);
    void CaptureLayout();
    void ApplyLayout();

    TrackEntry* track_ = nullptr;
    TrackEntry* cursor_ = nullptr;
    int lastIndex_ = 0;
    PlaybackState playbackState_ = PlaybackState::Stopped;
    std::unique_ptr<CMediaPlayer> player_;
    QTimer logTimer_;
    bool pauseLook_ = false;

    CSpeedoMeter* speedometer_ = nullptr;
    CSpeedoMeter* compass_ = nullptr;
    CSpeedoMeter* gsensorChart_ = nullptr;
    CSpeedoMeter* satelliteChart_ = nullptr;
    CSkinButton* playButton_ = nullptr;
    CProSliderCtrl* positionSlider_ = nullptr;
    CProSliderCtrl* volumeSlider_ = nullptr;
    QTreeWidget* list_ = nullptr;
    QLineEdit* folderBox_ = nullptr;
    std::unique_ptr<CRecordingList> recordings_;
    CMapBridge map_;

    // Gap left, top, right and bottom around the list, captured once.
    std::array<int, 4> margins_{};
};
