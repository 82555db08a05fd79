#pragma once
// The page the clip plays on. Its right and bottom edges are a sizing border that the user
// drags; the other two pages follow it, so the border works as the main window's splitter.

#include <QRect>

#include "skin/bitmap_dialog.h"

class CVantrailDlg;

// Pixels between the pages of the main window.
inline constexpr int kPageGap = 8;

class CVideoPage : public CBitmapDialog {
    Q_OBJECT

public:
    explicit CVideoPage(CVantrailDlg* mainDialog);

    // Places the video area, the control form and the map window after a change of size.
    void PlacePages();
    // Moves the page; the other pages follow it whether or not its size changed.
    void Move(const QRect& geometry);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    Qt::Edges EdgesAt(const QPoint& pos) const;

    CVantrailDlg* mainDialog_;
    // Video area placement: left, top, and distances from the right and bottom edges.
    QRect areaMargins_;
    Qt::Edges dragging_;
    QPoint dragOrigin_;
    QSize sizeAtPress_;
};
