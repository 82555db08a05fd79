#pragma once
// The clip player of the control form: one clip with its sound on the video page, played by
// a GStreamer playbin of our own; a front clip with its rear one shows that as the picture's
// inset. Its position is the pipeline's, in clip time (0 is the first
// frame, also in a transport stream whose clock starts earlier); seeks are accurate, so a
// frame step lands on the frame asked for, and a transport stream seeks as well as a movie.

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

// Posted to the player itself when backend events wait; it hands them to HandleGraphEvents
// through its events' OnGraphNotify.
inline const QEvent::Type kGraphNotifyEvent = static_cast<QEvent::Type>(QEvent::User + 13);
inline constexpr long kEventComplete = 1;    // the clip played to its end
inline constexpr long kEventErrorAbort = 3;  // the backend gave up on the clip

// Where a player shows what it plays: the control form's path line and the video page's
// picture.
class CPlayerDisplay {
public:
    virtual void ShowPath(const QString& path) = 0;
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
// asks the media framework for its decoders.
DecoderCheck SetDecoderCheck(DecoderCheck check);

// Hundredths of a decibel for a volume level, the level clamped to 0..10: 10 gives 0, 0 gives
// -10000.
int VolumeHundredths(int level);
// The backend's linear volume for hundredths of a decibel; -10000 is silence.
float LinearVolume(int hundredths);
// Where a step of frames from a position in a frame lands, in ms: `frames` frames on, which
// is in the frame that many away. frameUs is a frame's length (<= 0: unknown, taken as 30
// frames a second).
int64_t FrameStepTargetMs(int64_t positionUs, int64_t frameUs, int frames);

struct _GstElement;

class CMediaPlayer : public QObject, public CClipPlayer {
    Q_OBJECT

public:
    // events may be null: nobody hears the positions and the clip's end then.
    CMediaPlayer(CPlayerDisplay& display, CClipPlayerEvents* events, QObject* parent = nullptr);
    ~CMediaPlayer() override;
    CMediaPlayer(const CMediaPlayer&) = delete;
    CMediaPlayer& operator=(const CMediaPlayer&) = delete;

    // Makes a new media pipeline after checking the decoders, for the inset clip of the last
    // OpenMedia too; 0, or -1 with a message.
    int BuildGraph();
    // 1 once a pipeline was built (whatever the rendering gave), -1 when BuildGraph failed.
    int OpenMedia(const std::string& path, const std::string& inset) override;
    // Loads the opened path and plays; 1 or -1.
    int RenderAndRun();
    int TogglePause() override;
    int StopMedia() override;
    void SeekToMs(int64_t ms) override;
    int64_t StepFrames(int frames) override;
    int64_t PositionMs() const override;
    int64_t DurationMs() const override { return durationMs_; }
    void SetRate(double rate) override;
    int SetVolumeLevel(int level) override;
    // Shows the video window on the video page; 1, or 0 without one.
    int PlaceVideoWindow();
    // kClipEnded, 1, or 0 (with a message) without a pipeline.
    int HandleGraphEvents() override;
    MediaState GetMediaState() const override { return state_; }
    // Releases the pipeline and stops the timer.
    void ReleaseGraph();
    void Dispose() override;

    // False from RenderAndRun until the clip's length is known.
    bool DurationKnown() const { return durationMs_ > 0; }
    // The pipeline is playing (not paused, stopped or still starting).
    bool Running() const;

protected:
    bool event(QEvent* event) override;

private:
    struct Shared;

    void DropGraph();
    // Puts the inset clip, when there is one, in the pipeline beside the clip.
    void AddInset();
    void TakeBusMessages();
    void OnPrerolled();
    void OnError(const QString& text);
    void ReportPosition();
    void PostEvent(long code);
    // Seeks the pipeline to clip time ms at the current rate.
    void SeekPipeline(int64_t ms);

    CPlayerDisplay& display_;
    CClipPlayerEvents* events_;
    _GstElement* pipeline_ = nullptr;
    _GstElement* front_ = nullptr;    // the playbin of path_: pipeline_ itself without an inset
    std::shared_ptr<Shared> shared_;  // what the streaming threads reach
    int64_t durationMs_ = 0;
    int64_t startNs_ = -1;  // the stream time of the first frame, -1 until prerolled
    int64_t frameUs_ = 0;   // the length of a frame, 0 until known
    bool playing_ = false;
    bool built_ = false;
    double rate_ = 1;
    int volumeLevel_ = 10;
    QPointer<CVideoWindow> video_;
    std::deque<long> pending_;
    // Takes the pipeline's messages and reports the position while a clip is loaded, so
    // that the session follows it closely also at high speed.
    QTimer poll_;
    int64_t reportedMs_ = -1;
    MediaState state_ = MediaState::Stopped;
    int64_t pendingSeekMs_ = -1;  // asked before the clip could seek
    std::string path_;
    std::string insetPath_;
};
