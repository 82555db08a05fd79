#pragma once
// The main window: the video page (top left), the map window (bottom left) and the control
// form (right), on a tiled black background.

#include <QIcon>
#include <QPointer>
#include <QStringList>
#include <memory>

#include "shell/full_screen_view.h"
#include "skin/bitmap_dialog.h"

class CControlForm;
class CMapDlg;
class CPlaybackCommands;
class CTripTools;
class CVideoPage;
class QAction;

class CVantrailDlg : public CBitmapDialog {
    Q_OBJECT

public:
    explicit CVantrailDlg(QWidget* parent = nullptr);
    ~CVantrailDlg() override;

    CControlForm* ControlForm() const { return controlForm_.get(); }
    CMapDlg* MapWindow() const { return mapWindow_.get(); }
    CVideoPage* VideoPage() const { return videoPage_.get(); }
    // The full-screen window, once it was first shown.
    CFullScreenView* FullScreenView() const { return fullScreenView_; }
    CPlaybackCommands* Commands() const { return commands_; }

    // Fills the recording list as a drop of `paths` would and plays the first row.
    void OpenPaths(const QStringList& paths);

    // Pages for a client area of cx by cy pixels.
    void Layout(int cx, int cy);
    void ShowAboutBox();
    // The keys of the player, in a box that leaves playback going.
    void ShowKeys();
    // Shows the clip alone on the whole screen, or the main window as it was.
    void SetFullScreen(bool on);
    bool FullScreen() const;
    // Ends the modal run; playback stops first.
    void done(int result) override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void InitDialog();
    void Wire();
    void PlaceBesideVideoPage(QSize page);
    // The window, frame included, fills the screen's available area (panels excluded).
    void FitFrameToScreen();
    void ShowMenu(const QPoint& at);

    bool framed_ = false;  // fitted with the window manager's frame known
    QIcon icon_;
    bool initialised_ = false;
    std::unique_ptr<CControlForm> controlForm_;
    std::unique_ptr<CMapDlg> mapWindow_;
    std::unique_ptr<CVideoPage> videoPage_;
    // Children of this window.
    CTripTools* trip_ = nullptr;
    CPlaybackCommands* commands_ = nullptr;
    QAction* fullScreen_ = nullptr;
    QPointer<CFullScreenView> fullScreenView_;
};
