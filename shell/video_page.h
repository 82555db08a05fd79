#pragma once
// The page the clip plays on. Its right and bottom edges are a sizing border that the user
// drags; the main window places the other two pages after it, so the border works as the
// main window's splitter.

#include <QRect>

#include "skin/bitmap_dialog.h"
#include "skin/edge_anchors.h"

class CVideoWindow;

// Pixels between the pages of the main window.
inline constexpr int kPageGap = 8;

class CVideoPage : public CBitmapDialog {
    Q_OBJECT

public:
    explicit CVideoPage(QWidget* parent);

    // The clip's picture, over the video area.
    CVideoWindow* VideoWindow() const { return video_; }
    // Places the video area and the picture for the page's size, and tells the main window.
    void PlacePages();
    // Moves the page; the other pages follow it whether or not its size changed.
    void Move(const QRect& geometry);

signals:
    // The page has its new size; the other pages are to follow it.
    void Placed(QSize size);
    // A double-click on the picture.
    void FullScreenRequested();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    Qt::Edges EdgesAt(const QPoint& pos) const;

    CEdgeAnchors anchors_;
    CVideoWindow* video_;
    Qt::Edges dragging_;
    QPoint dragOrigin_;
    QSize sizeAtPress_;
};
