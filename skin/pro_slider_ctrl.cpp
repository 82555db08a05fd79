#include "skin/pro_slider_ctrl.h"

#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionSlider>

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
    emit ReleasedCapture();
}
