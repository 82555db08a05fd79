#include "shell/video_page.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QResizeEvent>

#include "playback/video_window.h"
#include "skin/dialog_template.h"

namespace {
constexpr int kVideoPageTemplate = 189;
constexpr int kVideoArea = 1187;
constexpr int kBlackBitmap = 218;
constexpr int kSizingBorder = 4;  // pixels along the right and bottom edges
}  // namespace

CVideoPage::CVideoPage(QWidget* parent) : CBitmapDialog(parent), anchors_(this) {
    setWindowFlags(Qt::Widget);
    setMouseTracking(true);
    // A click on the picture gives the page the playback keys.
    setFocusPolicy(Qt::ClickFocus);
    if (const auto tmpl = LoadDialogTemplate(kVideoPageTemplate)) {
        resize(tmpl->PixelSize());
        CreateDialogControls(this, *tmpl);
    }
    SetBackgroundMode(2);
    LoadBackground(kBlackBitmap);
    // Shown by a player while it plays.
    video_ = new CVideoWindow(this);
    video_->hide();
    anchors_.Anchor(kVideoArea);
    PlacePages();
    update();
}

void CVideoPage::PlacePages() {
    anchors_.Apply();
    update();
    if (const QWidget* area = GetDlgItem(this, kVideoArea))
        video_->setGeometry(0, 0, area->width(), area->height());
    emit Placed(size());
}

void CVideoPage::Move(const QRect& geometry) {
    // A visible page that changes size places the others from its resize event.
    const bool placedByResize = isVisible() && geometry.size() != size();
    setGeometry(geometry);
    if (!placedByResize)
        PlacePages();
}

void CVideoPage::resizeEvent(QResizeEvent* event) {
    CBitmapDialog::resizeEvent(event);
    // A resize made while the page was hidden arrives late, when it is first shown, without
    // an old size; the move that caused it already placed the pages.
    if (event->oldSize().isValid())
        PlacePages();
}

Qt::Edges CVideoPage::EdgesAt(const QPoint& pos) const {
    Qt::Edges edges;
    if (pos.x() >= width() - kSizingBorder)
        edges |= Qt::RightEdge;
    if (pos.y() >= height() - kSizingBorder)
        edges |= Qt::BottomEdge;
    return edges;
}

void CVideoPage::mousePressEvent(QMouseEvent* event) {
    dragging_ =
        event->button() == Qt::LeftButton ? EdgesAt(event->position().toPoint()) : Qt::Edges();
    dragOrigin_ = event->globalPosition().toPoint();
    sizeAtPress_ = size();
    CBitmapDialog::mousePressEvent(event);
}

void CVideoPage::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_) {
        const QPoint delta = event->globalPosition().toPoint() - dragOrigin_;
        QSize s = sizeAtPress_;
        if (dragging_ & Qt::RightEdge)
            s.setWidth(qMax(kSizingBorder * 2, s.width() + delta.x()));
        if (dragging_ & Qt::BottomEdge)
            s.setHeight(qMax(kSizingBorder * 2, s.height() + delta.y()));
        resize(s);
        return;
    }
    const Qt::Edges edges = EdgesAt(event->position().toPoint());
    if (edges == (Qt::RightEdge | Qt::BottomEdge))
        setCursor(Qt::SizeFDiagCursor);
    else if (edges & Qt::RightEdge)
        setCursor(Qt::SizeHorCursor);
    else if (edges & Qt::BottomEdge)
        setCursor(Qt::SizeVerCursor);
    else
        unsetCursor();
    CBitmapDialog::mouseMoveEvent(event);
}

void CVideoPage::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        dragging_ = {};
    CBitmapDialog::mouseReleaseEvent(event);
}

void CVideoPage::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && !EdgesAt(event->position().toPoint()))
        emit FullScreenRequested();
    event->accept();
}

void CVideoPage::keyPressEvent(QKeyEvent* event) {
    // Not a dialog's keys: Escape would hide the page.
    QWidget::keyPressEvent(event);
}

void CVideoPage::contextMenuEvent(QContextMenuEvent* event) {
    // The main window's menu, not a dialog's own.
    event->ignore();
}
