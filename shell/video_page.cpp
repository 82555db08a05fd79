#include "shell/video_page.h"

#include <QMouseEvent>
#include <QResizeEvent>

#include "app/app_state.h"
#include "playback/control_form.h"
#include "shell/main_dialog.h"
#include "skin/dialog_template.h"

namespace {
constexpr int kVideoPageTemplate = 189;
constexpr int kVideoArea = 1187;
constexpr int kBlackBitmap = 218;
constexpr int kSizingBorder = 4;  // pixels along the right and bottom edges
}  // namespace

CVideoPage::CVideoPage(CVantrailDlg* mainDialog)
    : CBitmapDialog(mainDialog), mainDialog_(mainDialog) {
    setWindowFlags(Qt::Widget);
    setMouseTracking(true);
    if (const auto tmpl = LoadDialogTemplate(kVideoPageTemplate)) {
        resize(tmpl->PixelSize());
        CreateDialogControls(this, *tmpl);
    }
    theApp().videoPage = this;
    SetBackgroundMode(2);
    LoadBackground(kBlackBitmap);
    if (QWidget* area = GetDlgItem(this, kVideoArea)) {
        const QRect r = area->geometry();
        areaMargins_ =
            QRect(r.left(), r.top(), width() - (r.right() + 1), height() - (r.bottom() + 1));
    }
    PlacePages();
    update();
}

void CVideoPage::PlacePages() {
    if (QWidget* area = GetDlgItem(this, kVideoArea)) {
        area->setGeometry(QRect(
            QPoint(areaMargins_.left(), areaMargins_.top()),
            QPoint(width() - areaMargins_.width() - 1, height() - areaMargins_.height() - 1)));
        update();
    }
    const int cx = width();
    const int cy = height();
    const QSize outer = mainDialog_->frameGeometry().size();
    if (QWidget* form = theApp().controlForm)
        form->setGeometry(cx + kPageGap, 0, outer.width() - cx, outer.height());
    if (QWidget* map = theApp().mapWindow)
        map->setGeometry(0, cy + kPageGap, cx + kPageGap, outer.height() - cy);
    if (auto* form = qobject_cast<CControlForm*>(theApp().controlForm); form && form->Player())
        form->Player()->PlaceVideoWindow();
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
