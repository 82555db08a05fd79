#pragma once
// The clip player of the control form: one clip with its sound on the video page. Its playing
// position is its own count of whole seconds, advanced by a one-second timer and never read
// back from the media backend; from it the player drives the form's time text, progress bar
// and position slider.

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "playback/clip_player.h"
#include "playback/video_window.h"

class QAudioOutput;
class QMediaPlayer;

// Posted to the player itself when backend events wait; it hands them to HandleGraphEvents
// through its events' OnGraphNotify.
inline const QEvent::Type kGraphNotifyEvent = static_cast<QEvent::Type>(QEvent::User + 13);
inline constexpr int kPlayerTimerMs = 1000;
inline constexpr long kEventComplete = 1;  // the clip played to its end

// Where a player shows what it plays: the control form's path line, time text, progress bar
// and position slider, and the video page's picture.
class CPlayerDisplay {
public:
    virtual void ShowPath(const QString& path) = 0;
    virtual void ShowTime(const QString& text) = 0;
    // The progress bar and the position slider at pct; the slider control itself keeps still
    // while the user holds its thumb, unless evenWhenHeld.
    virtual void ShowProgress(int pct, bool evenWhenHeld) = 0;
    virtual void EnablePlayButton() = 0;
    // The video page's picture; null when there is none.
    virtual CVideoWindow* VideoWindow() = 0;

protected:
    ~CPlayerDisplay() = default;
};

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

class CMediaPlayer : public QObject, public CClipPlayer {
    Q_OBJECT

public:
    // events may be null: nobody hears the ticks and the clip's end then.
    CMediaPlayer(CPlayerDisplay& display, CClipPlayerEvents* events, QObject* parent = nullptr);
    ~CMediaPlayer() override;
    CMediaPlayer(const CMediaPlayer&) = delete;
    CMediaPlayer& operator=(const CMediaPlayer&) = delete;

    // Makes a new media pipeline after checking the decoders; 0, or -1 with a message.
    int BuildGraph();
    // 1 once a pipeline was built (whatever the rendering gave), -1 when BuildGraph failed.
    int OpenMedia(const std::string& path) override;
    // Loads the opened path, resets the form's bars, starts the timer and plays; 1 or -1.
    int RenderAndRun();
    int TogglePause() override;
    int StopMedia() override;
    void SeekToSecond(int32_t second) override;
    int32_t SecondsAtPercent(int pos) const override;
    int SetVolumeLevel(int level) override;
    // Shows the video window on the video page; 1, or 0 without one.
    int PlaceVideoWindow();
    // Idle when not playing, ReachedEnd when the position has reached the duration, Counted
    // after advancing a second.
    TickResult TickPosition() override;
    // 1, or 0 (with a message) without a pipeline.
    int HandleGraphEvents() override;
    MediaState GetMediaState() const override { return state_; }
    // Releases the pipeline and stops the timer.
    void ReleaseGraph();
    void Dispose() override;

    QMediaPlayer* Graph() const { return graph_.get(); }
    QAudioOutput* AudioOutput() const { return audio_.get(); }
    // False from RenderAndRun until the backend has told the clip's length.
    bool DurationKnown() const { return durationKnown_; }
    // The backend's report of the clip's length: durationSeconds (truncated) and
    // unitsPerSecond follow it.
    void SetDuration(int64_t milliseconds);
    int32_t Position() const { return position_; }
    int64_t DurationSeconds() const { return durationSeconds_; }

protected:
    bool event(QEvent* event) override;

private:
    void DropGraph();
    void OnMediaStatus(int status);
    void OnMediaError();
    void PostEvent(long code);

    CPlayerDisplay& display_;
    CClipPlayerEvents* events_;
    int32_t position_ = 0;  // whole seconds played, counted by the timer
    float unitsPerSecond_ = 0.0f;
    int64_t durationSeconds_ = 0;
    bool playing_ = false;
    std::unique_ptr<QMediaPlayer> graph_;
    QMediaPlayer* control_ = nullptr;  // set once the pipeline is complete
    std::unique_ptr<QAudioOutput> audio_;
    QPointer<CVideoWindow> video_;
    std::deque<long> pending_;
    QTimer timer_;
    MediaState state_ = MediaState::Stopped;
    bool durationKnown_ = false;
    int64_t pendingSeekMs_ = -1;
    std::string path_;
};
