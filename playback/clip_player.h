#pragma once
// What the playback session asks of a clip player, so that the session can be driven and
// tested without a media backend. The player's position is the backend's own: the session
// reads it back and makes everything else follow it.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

enum class MediaState { Stopped = 0, Running = 1, Paused = 2 };

inline constexpr int kClipEnded = 2;

class CClipPlayer {
public:
    virtual ~CClipPlayer() = default;

    // Builds a fresh pipeline for path and plays it: 1, or -1 when no pipeline could be built.
    // inset, unless "", is a second camera's clip of the same moment, played in step with path
    // as a picture in its corner, without its sound; the position stays path's.
    virtual int OpenMedia(const std::string& path, const std::string& inset) = 0;
    virtual int TogglePause() = 0;
    // Stops (a paused clip stays paused in the backend) and goes back to the start.
    virtual int StopMedia() = 0;
    // Goes to ms, to the frame on screen at that time whether playing or paused.
    virtual void SeekToMs(int64_t ms) = 0;
    // Paused: the picture moves by frames (negative: back), to the exact frame; returns the
    // time it goes to, in ms.
    virtual int64_t StepFrames(int frames) = 0;
    // Where the clip is, in ms; and its length, 0 until the backend has told it.
    virtual int64_t PositionMs() const = 0;
    virtual int64_t DurationMs() const = 0;
    // Playback speed, 1 normal; the sound is off above 2.
    virtual void SetRate(double rate) = 0;
    virtual int SetVolumeLevel(int level) = 0;
    // Takes the waiting backend events: kClipEnded when the clip played to its end (which
    // stops it), else 1; 0 without a pipeline.
    virtual int HandleGraphEvents() = 0;
    virtual MediaState GetMediaState() const = 0;
    // Releases the pipeline and its timers, then frees the player once the event being
    // handled is done: it may be the player's own report.
    virtual void Dispose() = 0;
};

// What a player reports to the one who made it; from is the reporting player, so that a
// report of a player already replaced can be told apart.
class CClipPlayerEvents {
public:
    // The backend's position moved (playing, or a seek or step that has landed).
    virtual void OnPositionChanged(CClipPlayer* from) = 0;
    virtual void OnGraphNotify(CClipPlayer* from) = 0;

protected:
    ~CClipPlayerEvents() = default;
};

struct ClipPlayerDisposer {
    void operator()(CClipPlayer* player) const { player->Dispose(); }
};
using ClipPlayerPtr = std::unique_ptr<CClipPlayer, ClipPlayerDisposer>;

// Makes a player and builds its first pipeline; its own failures show their messages, and the
// player is kept (it then plays nothing).
using ClipPlayerFactory = std::function<ClipPlayerPtr(CClipPlayerEvents& events)>;
