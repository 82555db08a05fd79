#pragma once
// Playback of the selected recording, without windows: the loaded track, the cursor, the
// play state and every decision of opening, playing, stopping, moving on and seeking. A
// recording plays as two one-second clocks side by side: the session's log timer shows one
// track entry per tick on the instruments and the map, the clip player's timer counts the
// clip's position. The session reaches the controls it drives through the small interfaces
// below.

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>

#include "library/recording_list.h"
#include "playback/clip_player.h"
#include "track/track_sample.h"

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
    // The position slider's drawn position, and its control position too unless
    // respectHeldThumb and the user holds the thumb.
    virtual void MovePositionSlider(int pos, bool respectHeldThumb) = 0;
    virtual int VolumeLevel() const = 0;

protected:
    ~CTransportControls() = default;
};

class PlaybackSession : public QObject, private CClipPlayerEvents {
    Q_OBJECT

public:
    static constexpr int kLogTimerMs = 1000;

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

    // Loads the selected row's log and draws its route; 0, or -1 without a track.
    int OpenRecording();
    void PlayPause();
    void StopPlayback(bool rewind);
    void NextRecording();
    void PrevRecording();
    // One tick of the log timer.
    void OnLogTick();
    // The user let go of the position slider at pos percent of the recording.
    void SeekPercent(int pos);
    // Puts the log's cursor and, for a clip, the clip on second; the play state stays.
    void Seek(int32_t second);
    void SetVolumeLevel(int level);
    // The list is about to be refilled: stop with rewind and take a fresh player.
    void PrepareRefill();
    // Stops everything and releases the player, before the windows it shows in go away.
    void Shutdown();

    PlaybackState State() const { return state_; }
    // The loaded track (null for none) and the log it came from.
    const TrackEntry* Track() const { return track_.get(); }
    const std::string& TrackPath() const { return trackPath_; }
    // The second the next log tick shows; -1 at the end of the track or without one.
    int32_t CurrentSecond() const;
    int32_t LastIndex() const { return lastIndex_; }
    bool LogTimerActive() const { return logTimer_.isActive(); }
    CClipPlayer* Player() const { return player_.get(); }

signals:
    // A track was loaded by OpenRecording.
    void RecordingLoaded();

private:
    struct TrackDeleter {
        void operator()(TrackEntry* first) const;
    };

    void OnPlayerTick(CClipPlayer* from) override;
    void OnGraphNotify(CClipPlayer* from) override;
    void ReplacePlayer();
    // False when the log could not be read at all; the user has been told why.
    bool LoadLog(const std::string& logPath);
    // The cursor on track's first entry, and the instruments given the track.
    void Show(TrackEntry* track);
    void DrawRoute();
    void ChangeRecording(bool next);

    Parts parts_;
    std::unique_ptr<TrackEntry, TrackDeleter> track_;
    std::string trackPath_;
    std::pair<uintmax_t, std::filesystem::file_time_type> trackVersion_;
    TrackEntry* cursor_ = nullptr;
    int32_t lastIndex_ = 0;
    PlaybackState state_ = PlaybackState::Stopped;
    ClipPlayerPtr player_;
    QTimer logTimer_;
    bool changingRecording_ = false;
};
