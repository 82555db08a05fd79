#pragma once
// Playback of the selected recording, without windows: the loaded track, the play state and
// every decision of opening, playing, stopping, moving on, seeking and speed. A recording has
// one clock: while a clip plays, the clip's own position (the backend's) decides the second
// of the track that the instruments, the map marker, the slider and the time text show; a
// log row without a clip runs on the session's log timer instead. Tracks load off the
// user-interface thread. The session reaches the controls it drives through the small
// interfaces below.

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "library/recording_list.h"
#include "playback/clip_player.h"
#include "playback/track_loading.h"
#include "track/track_sample.h"

// "%02u:%02u:%02u / %02u:%02u:%02u" of a position and a duration in seconds; hours mod 60.
std::string FormatPlayTime(int64_t position, int64_t duration);
// A speed as the player shows it: "x1/4", "x1/2", "x1", "x2", ...
std::string RateLabel(double rate);

enum class PlaybackState { Stopped = 0, Paused = 1, Playing = 2 };

// The four instruments.
class CInstrumentPanel {
public:
    // Each instrument's track; a null track also clears the entry each one shows, so that
    // none keeps an entry of a released track.
    virtual void SetSampleList(const TrackEntry* track) = 0;
    // Each instrument shows entry (null: none) and repaints.
    virtual void ShowSample(const TrackEntry* entry) = 0;

protected:
    ~CInstrumentPanel() = default;
};

// The map page's script functions; positions in decimal degrees.
class CMapCalls {
public:
    // A page has completed and its functions can be called.
    virtual bool PageLoaded() const = 0;
    virtual void AddPolyLinePoint(double latitude, double longitude) = 0;
    virtual void DrawPolyLine() = 0;
    virtual void Reload(double latitude, double longitude, int level) = 0;
    virtual void MoveTo(double latitude, double longitude) = 0;
    virtual void RenewCursor(double latitude, double longitude) = 0;
    // Tells the page the size of its view.
    virtual void ResizeMap() = 0;

protected:
    ~CMapCalls() = default;
};

// The transport controls of the control form.
class CTransportControls {
public:
    // The play button's pause look, or its play look.
    virtual void SetPlayLook(bool pause) = 0;
    virtual void RedrawPlayButton() = 0;
    // The position slider (its control position only while the user does not hold its
    // thumb), the progress bar at pct and the time text.
    virtual void ShowPosition(int pct, const std::string& time) = 0;
    // A track being loaded, pct done; -1 when loading is over.
    virtual void ShowLoading(int pct) = 0;
    virtual int VolumeLevel() const = 0;

protected:
    ~CTransportControls() = default;
};

class PlaybackSession : public QObject, private CClipPlayerEvents {
    Q_OBJECT

public:
    static constexpr int kLogTimerMs = 1000;
    // The speeds offered, slowest first.
    static constexpr double kRates[] = {0.25, 0.5, 1, 2, 4, 8};

    struct Parts {
        CRecordingSelection& recordings;
        CInstrumentPanel& instruments;
        CMapCalls& map;
        CTransportControls& controls;
        ClipPlayerFactory makePlayer;
    };

    // Makes the first player at once.
    explicit PlaybackSession(Parts parts, QObject* parent = nullptr);
    ~PlaybackSession() override;

    // Opens the selected row: stops, takes a fresh player and loads the row's track in the
    // background (an unchanged track already loaded is kept). -1 at once, with its message,
    // when no row is selected or its kind is unknown; otherwise 0, and RecordingOpened follows.
    int OpenRecording();
    // Plays, pauses or resumes; while the track loads, playing starts once it is there.
    void PlayPause();
    void StopPlayback(bool rewind);
    void NextRecording();
    void PrevRecording();
    // One tick of the log timer (a log row without a clip).
    void OnLogTick();
    // The user let go of the position slider at pos percent of the recording.
    void SeekPercent(int pos);
    // Moves picture, instruments, marker, slider and time to second (or ms) of the recording,
    // or by deltaMs from where it is; the play state stays.
    void Seek(int32_t second);
    void SeekMs(int64_t ms);
    void SkipMs(int64_t deltaMs);
    // Paused clip: one frame on (1) or back (-1), exactly.
    void StepFrames(int frames);
    // A clip is loaded and paused, so that StepFrames moves it.
    bool CanStepFrames() const;
    // One of kRates; it holds for the recordings that follow.
    void SetRate(double rate);
    // The next speed of kRates up (faster) or down.
    void ChangeRate(bool faster);
    double Rate() const { return rate_; }
    void SetVolumeLevel(int level);
    // The list is about to be refilled: stop with rewind and take a fresh player.
    void PrepareRefill();
    // Stops everything and releases the player, before the windows it shows in go away.
    void Shutdown();

    PlaybackState State() const { return state_; }
    bool Loading() const { return loader_.Busy(); }
    // The loaded track (null for none), the file it came from and the row it belongs to.
    const TrackEntry* Track() const { return track_.First(); }
    const std::string& TrackPath() const { return track_.source.path; }
    const std::string& TrackRow() const { return track_.row; }
    // The second the instruments show; -1 without one.
    int32_t CurrentSecond() const { return shown_; }
    // The recording's clock in ms and its length in ms (0 when unknown).
    int64_t ClockMs() const { return clockMs_; }
    int64_t LengthMs() const;
    // The time text: "hh:mm:ss / hh:mm:ss", with the speed after it when it is not 1.
    std::string TimeText() const;
    int32_t LastIndex() const { return track_.LastIndex(); }
    bool LogTimerActive() const { return logTimer_.isActive(); }
    CClipPlayer* Player() const { return player_.get(); }

signals:
    // An open has finished: Track() is the row's track, or null when the row gave none.
    void RecordingOpened();
    // The clock or the speed moved what the time text shows.
    void ClockChanged();

private:
    enum class AfterLoad { Nothing, Play, PlayIfTrack };

    void OnPositionChanged(CClipPlayer* from) override;
    void OnGraphNotify(CClipPlayer* from) override;
    void ReplacePlayer();
    void StartOpen(AfterLoad after, bool quiet);
    void FinishOpen(LoadedTrack loaded);
    // The messages of a row that gave no track; false when the session moved on meanwhile.
    bool TellNoData();
    void DrawRoute();
    void ChangeRecording(bool next);
    void StartPlaying();
    bool IsClipRow() const;
    // A clip row whose clip is loaded: its position is the clock.
    bool ClipIsClock() const;
    // Shows second of the track; a jump (not the next second) puts the marker on it.
    void ShowSecond(int32_t second, bool jump);
    void Follow(int64_t ms, bool jump);
    void ShowClock();
    // Shows a message box; false when the session was moved on while it was open.
    bool Tell(const std::string& text);

    Parts parts_;
    TrackLoader loader_;
    LoadedTrack track_;
    AfterLoad afterLoad_ = AfterLoad::Nothing;
    bool openedQuietly_ = false;
    int32_t shown_ = -1;
    int64_t clockMs_ = 0;
    int64_t seekTargetMs_ = -1;  // a seek the backend has not reached yet
    PlaybackState state_ = PlaybackState::Stopped;
    ClipPlayerPtr player_;
    QTimer logTimer_;
    QTimer seekSettle_;
    double rate_ = 1;
    unsigned generation_ = 0;  // counts opens and stops, so a box can tell it was overtaken
    bool changingRecording_ = false;
};
