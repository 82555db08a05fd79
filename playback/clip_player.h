#pragma once
// What the playback session asks of a clip player, so that the session can be driven and
// tested without a media backend.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

enum class MediaState { Stopped = 0, Running = 1, Paused = 2 };

// The result of one tick of the player's timer.
enum class TickResult { Idle = 0, Counted = 1, ReachedEnd = 2 };

class CClipPlayer {
public:
    virtual ~CClipPlayer() = default;

    // Builds a fresh pipeline for path and plays it: 1, or -1 when no pipeline could be built.
    virtual int OpenMedia(const std::string& path) = 0;
    virtual int TogglePause() = 0;
    // Stops (a paused clip stays paused in the backend) and resets position and texts.
    virtual int StopMedia() = 0;
    // The counted position becomes second and the clip goes there.
    virtual void SeekToSecond(int32_t second) = 0;
    // pos percent of the clip in whole seconds, truncated.
    virtual int32_t SecondsAtPercent(int pos) const = 0;
    virtual int SetVolumeLevel(int level) = 0;
    virtual TickResult TickPosition() = 0;
    // Takes the waiting backend events; the clip's end stops it.
    virtual int HandleGraphEvents() = 0;
    virtual MediaState GetMediaState() const = 0;
    // Releases the pipeline and stops the timer, then frees the player once the event being
    // handled is done: it may be the player's own tick.
    virtual void Dispose() = 0;
};

// What a player reports to the one who made it; from is the reporting player, so that a
// report of a player already replaced can be told apart.
class CClipPlayerEvents {
public:
    virtual void OnPlayerTick(CClipPlayer* from) = 0;
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
