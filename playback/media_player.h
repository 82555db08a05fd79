#pragma once
// The clip player of the control form: one clip with its sound on the video page. Its playing
// position is its own count of whole seconds, advanced by a one-second timer and never read
// back from the media backend; from it the player drives the form's time text, progress bar
// and position slider.

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include <QProgressBar>

#include "playback/video_window.h"

class QAudioOutput;
class QMediaPlayer;

enum class MediaState { Stopped = 0, Running = 1, Paused = 2 };

// Posted to the owner window when player events wait; the owner then calls
// HandleGraphEvents of its current player.
inline const QEvent::Type kGraphNotifyEvent = static_cast<QEvent::Type>(QEvent::User + 13);
inline constexpr int kPlayerTimerId = 9991;
inline constexpr int kPlayerTimerMs = 1000;
inline constexpr long kEventComplete = 1;  // the clip played to its end

// Control ids of the owner (the control form) and the video page that the player drives.
inline constexpr int kPathLineId = 1174;
inline constexpr int kTimeTextId = 1171;
inline constexpr int kPlayButtonId = 1169;
inline constexpr int kProgressBarId = 1175;
inline constexpr int kPositionSliderId = 1189;
inline constexpr int kVideoAreaId = 1187;

// Whether the system can decode the camera's streams; tests replace the check.
enum class DecoderKind { Video, Audio };  // H.264, AAC
using DecoderCheck = std::function<bool(DecoderKind)>;
// Installs a check and returns the previous one; an empty check restores the default, which
// asks the media backend for its decoders.
DecoderCheck SetDecoderCheck(DecoderCheck check);

// Hundredths of a decibel for a volume level, the level clamped to 0..10: 10 gives 0, 0 gives
// -10000.
int VolumeHundredths(int level);
// The backend's linear volume for hundredths of a decibel; -10000 is silence.
float LinearVolume(int hundredths);
// Slider units (percent) per second of a clip; a clip under a second has infinitely many.
float UnitsPerSecond(int64_t durationSeconds);
// The seek target of a slider position in 100-ns units, truncated toward zero; 0 when there
// are no units per second yet.
int64_t SeekUnits(int pos, float unitsPerSecond);
// "%02u:%02u:%02u / %02u:%02u:%02u" of a position and a duration; hours are taken mod 60.
std::string FormatPlayTime(int64_t position, int64_t duration);

class CMediaPlayer : public QObject {
    Q_OBJECT

public:
    CMediaPlayer();
    ~CMediaPlayer() override;
    CMediaPlayer(const CMediaPlayer&) = delete;
    CMediaPlayer& operator=(const CMediaPlayer&) = delete;

    // Makes a new media pipeline for owner (the control form), after checking the decoders;
    // 0, or -1 with a message.
    int BuildGraph(QWidget* owner);
    // Opens path and starts it; 1 once a pipeline was built, -1 when BuildGraph failed.
    int OpenMedia(const std::string& path);
    // Loads the opened path, resets the form's bars, starts the timer and plays; 1 or -1.
    int RenderAndRun();
    int TogglePause();
    // Stops (a paused clip stays paused in the backend) and resets position and texts.
    int StopMedia();
    // Seeks to pos percent of the clip; the counted position is the caller's to set.
    int SeekToPercent(int pos);
    // pos percent of the clip in whole seconds, truncated: what the counted position becomes
    // when the user seeks there.
    int32_t SecondsAtPercent(int pos) const;
    int SetVolumeLevel(int level);
    // Puts the video window on the video page over its video area; 1, or 0 without one.
    int PlaceVideoWindow();
    // One tick of the player timer: 0 when not playing, 2 when the position has reached the
    // duration, 1 after advancing a second.
    int TickPosition();
    // Takes the waiting events; the completion event stops the clip. 1, or 0 without a
    // pipeline.
    int HandleGraphEvents();
    MediaState GetMediaState() const { return state_; }
    // Releases the pipeline and the video window and stops the timer.
    void ReleaseGraph();

    QMediaPlayer* Graph() const { return graph_.get(); }
    QAudioOutput* AudioOutput() const { return audio_.get(); }
    CVideoWindow* VideoWindow() const { return video_; }
    // False from RenderAndRun until the backend has told the clip's length.
    bool DurationKnown() const { return durationKnown_; }
    // The backend's report of the clip's length: durationSeconds (truncated) and
    // unitsPerSecond follow it.
    void SetDuration(int64_t milliseconds);

    int32_t position = 0;  // whole seconds played, counted by the timer
    float unitsPerSecond = 0.0f;
    int64_t durationSeconds = 0;
    bool playing = false;

signals:
    // Each tick of the player timer, with its id; the owner runs TickPosition.
    void Timer(int id);

private:
    void DropGraph();
    void OnMediaStatus(int status);
    void OnMediaError();
    void PostEvent(long code);
    void ResetSlider();

    std::unique_ptr<QMediaPlayer> graph_;
    QMediaPlayer* control_ = nullptr;  // set once the pipeline is complete
    std::unique_ptr<QAudioOutput> audio_;
    QPointer<CVideoWindow> video_;
    QPointer<QProgressBar> progressBar_;
    QPointer<QWidget> owner_;
    std::deque<long> events_;
    QTimer timer_;
    MediaState state_ = MediaState::Stopped;
    bool durationKnown_ = false;
    int64_t pendingSeekMs_ = -1;
    std::string path_;
};
