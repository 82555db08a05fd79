#include "skin/pro_slider_ctrl.h"

#include <qdrawutil.h>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

#include <algorithm>

namespace {

// The rule from one ring to the next: +10 per component, a component above 245 stays.
QColor NextRing(const QColor& c) {
    const auto grow = [](int v) { return v <= 245 ? v + 10 : v; };
    return QColor(grow(c.red()), grow(c.green()), grow(c.blue()));
}

// Shrinks across the slider's thickness: left and right of a vertical slider, top and
// bottom of a horizontal one.
QRect ShrinkAcross(const QRect& r, Qt::Orientation orientation) {
    return orientation == Qt::Vertical ? r.adjusted(1, 0, -1, 0) : r.adjusted(0, 1, 0, -1);
}

}  // namespace

CProSliderCtrl::CProSliderCtrl(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setMouseTracking(true);
}

void CProSliderCtrl::SetDrawRange(qint16 min, qint16 max) {
    rangeMin_ = min;
    rangeMax_ = max;
}

int CProSliderCtrl::SetDrawPos(int pos) {
    const int previous = drawPos_;
    drawPos_ = pos;
    update();
    return previous;
}

QRect CProSliderCtrl::ThumbRect() const {
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    return style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
}

bool CProSliderCtrl::OverThumb(const QPoint& pos) const {
    return ThumbRect().adjusted(-2, 2, 2, -2).contains(pos);
}

void CProSliderCtrl::mouseMoveEvent(QMouseEvent* event) {
    thumbColor_ = OverThumb(event->position().toPoint()) ? hoverThumb_ : normalThumb_;
    update();
    QSlider::mouseMoveEvent(event);
}

void CProSliderCtrl::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && OverThumb(event->position().toPoint()))
        thumbHeld_ = true;
    QSlider::mousePressEvent(event);
}

void CProSliderCtrl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QSlider::mouseReleaseEvent(event);
        return;
    }
    thumbHeld_ = false;
    QSlider::mouseReleaseEvent(event);
    // A released thumb drops the pressed colour at once, not at the next mouse move.
    thumbColor_ = OverThumb(event->position().toPoint()) ? hoverThumb_ : normalThumb_;
    update();
    emit ReleasedCapture();
}

void CProSliderCtrl::DrawRings(QPainter& painter, QRect r, QColor c, bool bothAxes,
                               Qt::Orientation orientation) {
    while (!r.isEmpty()) {
        painter.fillRect(r, c);
        r = bothAxes ? r.adjusted(1, 1, -1, -1) : ShrinkAcross(r, orientation);
        c = NextRing(c);
        bothAxes = false;
    }
}

void CProSliderCtrl::DrawGradientRoundRect(QPainter& painter, QRect r, QColor c, bool bothAxes,
                                           bool horizontalOnly, int firstStep,
                                           Qt::Orientation orientation) {
    if (r.isEmpty())
        return;
    painter.fillRect(r, c);
    if (bothAxes)
        r.adjust(1, 1, -1, -1);
    else if (horizontalOnly)
        r.adjust(1, 0, -1, 0);
    else
        r.adjust(0, 1, 0, -1);
    if (r.isEmpty())
        return;
    const auto step = [firstStep](int v) { return std::min(v + firstStep, 255); };
    const QColor second(step(c.red()), step(c.green()), step(c.blue()));
    painter.fillRect(r, second);
    DrawRings(painter, ShrinkAcross(r, orientation), NextRing(second), false, orientation);
}

QRect CProSliderCtrl::ChannelRect() const {
    // A 4-pixel groove across the middle, 10 pixels in from both ends.
    if (orientation() == Qt::Vertical)
        return QRect(width() / 2 - 2, 10, 4, height() - 20);
    return QRect(10, height() / 2 - 2, width() - 20, 4);
}

QRect CProSliderCtrl::ChannelFill(const QRect& channel, Qt::Orientation orientation, int pos,
                                  int max) {
    if (orientation == Qt::Vertical) {
        const int end = max != 0 ? 9 + channel.height() * pos / max : 9;
        return QRect(QPoint(channel.left(), 9), QPoint(channel.right(), end));
    }
    const int end = max != 0 ? 9 + channel.width() * pos / max : 9;
    return QRect(QPoint(9, channel.top()), QPoint(end, channel.bottom()));
}

void CProSliderCtrl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const Qt::Orientation o = orientation();
    DrawGradientRoundRect(painter, rect(), background_, true, false, 5, o);

    QRect channel = ChannelRect();
    const bool vertical = o == Qt::Vertical;
    channel.adjust(vertical ? -5 : 0, vertical ? 0 : -5, vertical ? 5 : 0, vertical ? 0 : 5);
    qDrawWinPanel(&painter, channel, palette(), true);
    channel.adjust(2, 2, -2, -2);
    channel.adjust(vertical ? -1 : 0, vertical ? 0 : -1, vertical ? 1 : 0, vertical ? 0 : 1);
    DrawGradientRoundRect(painter, ChannelFill(channel, o, drawPos_, rangeMax_), fill_, true,
                          vertical, 1, o);

    if (isSliderDown())
        thumbColor_ = pressedThumb_;
    DrawRings(painter, ThumbRect(), thumbColor_, true, o);
}
