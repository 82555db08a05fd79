#pragma once
// The clip alone on the whole screen, with a caption line below it: the recording, its time
// and speed. A top-level window of its own, so that the main window keeps its native window;
// the video page's picture sends its frames here while it is shown.

#include <QWidget>

class CVideoWindow;
class PlaybackSession;
class QLabel;

class CFullScreenView : public QWidget {
    Q_OBJECT

public:
    CFullScreenView(PlaybackSession& session, QWidget* parent);

    CVideoWindow* Picture() const { return picture_; }

signals:
    // Escape or a double-click: back to the main window.
    void LeaveRequested();
    // The window manager asks this window to close: the player is to close.
    void CloseRequested();
    // The main window's menu, at a global position.
    void MenuRequested(const QPoint& at);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void ShowCaption();

    PlaybackSession& session_;
    CVideoWindow* picture_;
    QLabel* caption_;
};
