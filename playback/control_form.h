#pragma once
// The control form: instruments, recording list, transport buttons and sliders. It lays the
// controls out and wires them to its playback session, which owns the track, the cursor and
// the clip player and makes every playback decision.

#include <QWidget>

#include <memory>

#include "library/recording_list.h"
#include "map/map_bridge.h"
#include "playback/playback_session.h"
#include "playback/transport_panel.h"
#include "skin/edge_anchors.h"

class CSpeedoMeter;
class QTreeWidget;

class CControlForm : public QWidget, private CInstrumentPanel, private CMapCalls {
    Q_OBJECT

public:
    explicit CControlForm(QWidget* parent = nullptr);
    ~CControlForm() override;

    PlaybackSession& Session() { return *session_; }
    CRecordingList& Recordings() { return *recordings_; }
    CMapBridge& Map() { return map_; }
    // Where the clips play: the video page's picture.
    void SetVideoWindow(CVideoWindow* window) { transport_->SetVideoWindow(window); }
    CVideoWindow* VideoWindow() { return transport_->VideoWindow(); }
    // The room under the G-sensor chart that no control of the form uses.
    QRect FreeRoom() const;
    // The speaker button: mutes, or gives the sound back at the level it had.
    void ToggleMute();

signals:
    // The form's size changed to width w after it was first shown.
    void WidthChanged(int w);
    // Rows of the recording list were added or removed.
    void ListChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void CreateControls();
    void SetUpInstruments();
    void Wire();

    // CInstrumentPanel
    void SetSampleList(const TrackEntry* track) override;
    void ShowSample(const TrackEntry* entry) override;
    // CMapCalls
    bool PageLoaded() const override { return map_.PageLoaded(); }
    void AddPolyLinePoint(double lat, double lon) override { map_.AddPolyLinePoint(lat, lon); }
    void DrawPolyLine() override { map_.DrawPolyLine(); }
    void Reload(double lat, double lon, int level) override { map_.Reload(lat, lon, level); }
    void MoveTo(double lat, double lon) override { map_.MoveTo(lat, lon); }
    void RenewCursor(double lat, double lon) override { map_.RenewCursor(lat, lon); }
    void ResizeMap() override { map_.ResizeMap(); }

    CSpeedoMeter* speedometer_ = nullptr;
    CSpeedoMeter* compass_ = nullptr;
    CSpeedoMeter* gsensorChart_ = nullptr;
    CSpeedoMeter* satelliteChart_ = nullptr;
    QTreeWidget* list_ = nullptr;
    std::unique_ptr<CRecordingList> recordings_;
    std::unique_ptr<CTransportPanel> transport_;
    CMapBridge map_;
    CEdgeAnchors anchors_;
    std::unique_ptr<PlaybackSession> session_;
};
