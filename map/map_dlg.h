#pragma once
// The map window: dialog 196, whose placeholder control 1080 the browser view replaces. Its
// controls follow the window's right and bottom edges, and a one-shot timer asks for map
// discovery half a second after the window is made.

#include <QTimer>
#include <QWidget>

#include "skin/edge_anchors.h"

class CMapDlg : public QWidget {
    Q_OBJECT

public:
    static constexpr int kDialogId = 196;
    static constexpr int kMapControlId = 1080;
    static constexpr int kFrameId = -1;
    static constexpr int kStartDelayMs = 500;

    explicit CMapDlg(QWidget* parent = nullptr);

    bool StartTimerActive() const { return startTimer_.isActive(); }

signals:
    // Once, half a second after the window was made: time to discover the map server.
    void StartMapRequested();
    // The window changed size: the page may be told its new size.
    void Resized();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void OnTimer();

    QTimer startTimer_;
    CEdgeAnchors anchors_;
};
