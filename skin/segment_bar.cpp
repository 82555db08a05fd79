#include "skin/segment_bar.h"

#include <QMouseEvent>
#include <QPainter>

#include "skin/pro_slider_ctrl.h"

namespace {
// The slider's fill; a darker channel than the slider's, so that light labels read on it.
const QColor kChannel(24, 24, 24);
const QColor kFill(233, 103, 41);
const QColor kText(226, 229, 233);
const QColor kHoverText(233, 103, 41);
}  // namespace

CSegmentBar::CSegmentBar(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CSegmentBar::SetLabels(const QStringList& labels) {
    labels_ = labels;
    update();
}

void CSegmentBar::SetCurrent(int index) {
    if (index == current_)
        return;
    current_ = index;
    update();
}

QRect CSegmentBar::SegmentRect(int index) const {
    const int n = static_cast<int>(labels_.size());
    if (index < 0 || index >= n)
        return {};
    const int left = width() * index / n;
    const int right = width() * (index + 1) / n;
    return QRect(left, 0, right - left, height());
}

int CSegmentBar::SegmentAt(const QPoint& pos) const {
    for (int i = 0; i < labels_.size(); ++i)
        if (SegmentRect(i).contains(pos))
            return i;
    return -1;
}

void CSegmentBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    CProSliderCtrl::DrawGradientRoundRect(painter, rect(), kChannel, true, false, 5,
                                          Qt::Horizontal);
    QFont font = painter.font();
    font.setPixelSize(std::max(9, height() * 11 / 20));
    for (int i = 0; i < labels_.size(); ++i) {
        const QRect r = SegmentRect(i);
        if (i == current_)
            CProSliderCtrl::DrawGradientRoundRect(painter, r.adjusted(1, 1, -1, -1), kFill, true,
                                                  false, 1, Qt::Horizontal);
        else if (i > 0 && i - 1 != current_)
            painter.fillRect(QRect(r.left(), r.top() + 3, 1, r.height() - 6), Qt::black);
        font.setBold(i == current_);
        painter.setFont(font);
        painter.setPen(i == current_ ? Qt::black : i == hover_ ? kHoverText : kText);
        painter.drawText(r, Qt::AlignCenter, labels_[i]);
    }
}

void CSegmentBar::mousePressEvent(QMouseEvent* event) {
    const int index = SegmentAt(event->position().toPoint());
    if (event->button() != Qt::LeftButton || index < 0) {
        QWidget::mousePressEvent(event);
        return;
    }
    SetCurrent(index);
    emit Chosen(index);
}

void CSegmentBar::mouseMoveEvent(QMouseEvent* event) {
    const int index = SegmentAt(event->position().toPoint());
    if (index != hover_) {
        hover_ = index;
        update();
    }
    QWidget::mouseMoveEvent(event);
}

void CSegmentBar::leaveEvent(QEvent* event) {
    hover_ = -1;
    update();
    QWidget::leaveEvent(event);
}
