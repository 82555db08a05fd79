#include "skin/skin_button.h"

#include <qdrawutil.h>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

#include "resources/resource_ids.h"
#include "skin/region_from_bitmap.h"

namespace {

// Tells a radio-kind button that another button of its group took the check.
const QEvent::Type kClearCheckEvent = static_cast<QEvent::Type>(QEvent::User + 0x100);

constexpr int kTextFlags = Qt::AlignCenter | Qt::TextSingleLine;

}  // namespace

CSkinButton::CSkinButton(QWidget* parent, Kind kind)
    : QPushButton(parent), kind_(kind), textColor_(palette().color(QPalette::ButtonText)) {
    setMouseTracking(true);
}

CSkinButton::StateImage CSkinButton::Load(int id) const {
    if (id == 0)
        return {};
    return {QImage(BitmapPath(id)).convertToFormat(QImage::Format_RGB32), {}};
}

void CSkinButton::SetBitmaps(int normal, int pressed, int hover, int disabled, int focus, int mask,
                             int drawMode, bool edge, int margin) {
    normal_ = Load(normal);
    pressed_ = Load(pressed);
    hover_ = Load(hover);
    disabled_ = disabled != 0 ? Load(disabled) : normal_;
    focus_ = Load(focus);
    mask_ = mask != 0 ? QImage(BitmapPath(mask)).convertToFormat(QImage::Format_RGB32) : QImage();
    drawMode_ = std::clamp(drawMode, 0, 2);
    edge_ = edge;
    margin_ = std::max(margin, 0);

    if (!mask_.isNull()) {
        // The mask's black shows the image and its white the parent behind the button; a
        // mask is black or white, so that is an alpha channel.
        for (StateImage* s : {&normal_, &pressed_, &hover_, &disabled_, &focus_}) {
            if (s->image.isNull())
                continue;
            s->masked = QImage(s->image.size(), QImage::Format_ARGB32);
            s->masked.fill(Qt::transparent);
            const int w = std::min(s->image.width(), mask_.width());
            const int h = std::min(s->image.height(), mask_.height());
            for (int y = 0; y < h; ++y) {
                const QRgb* src = reinterpret_cast<const QRgb*>(s->image.constScanLine(y));
                const QRgb* key = reinterpret_cast<const QRgb*>(mask_.constScanLine(y));
                QRgb* dst = reinterpret_cast<QRgb*>(s->masked.scanLine(y));
                for (int x = 0; x < w; ++x)
                    dst[x] = qGray(key[x]) < 128 ? (src[x] | 0xff000000u) : 0u;
            }
        }
        const QRegion region = RegionFromBitmap(mask_, Qt::white);
        // An empty mask would lift the shape altogether; a region outside the button keeps
        // an all-white mask meaning "show nothing".
        setMask(region.isEmpty() ? QRegion(-1, -1, 1, 1) : region);
        if (drawMode_ == 0)
            resize(mask_.size());
    }
    update();
}

void CSkinButton::SetCheck(bool checked) {
    checked_ = kind_ != PushButton && checked;
    if (kind_ == RadioButton && checked_)
        ClearOthersInGroup();
    update();
}

void CSkinButton::ClearOthersInGroup() {
    QWidget* dialog = parentWidget();
    if (!dialog)
        return;
    QList<CSkinButton*> siblings;
    for (QObject* child : dialog->children())
        if (auto* button = qobject_cast<CSkinButton*>(child))
            siblings.append(button);
    const qsizetype self = siblings.indexOf(this);
    qsizetype first = self;
    while (first > 0 && !siblings[first]->groupStart_) --first;
    for (qsizetype i = first; i < siblings.size(); ++i) {
        if (i > first && siblings[i]->groupStart_)
            break;
        if (i != self)
            QCoreApplication::postEvent(siblings[i], new QEvent(kClearCheckEvent));
    }
}

bool CSkinButton::event(QEvent* event) {
    if (event->type() == kClearCheckEvent) {
        if (checked_) {
            checked_ = false;
            update();
        }
        return true;
    }
    return QPushButton::event(event);
}

void CSkinButton::DrawImage(QPainter& painter, const StateImage& s) const {
    const QRect r = rect();
    if (drawMode_ == 2) {
        for (int y = 0; y < r.height(); y += s.image.height())
            for (int x = 0; x < r.width(); x += s.image.width()) painter.drawImage(x, y, s.image);
        return;
    }
    const QImage& image = s.masked.isNull() ? s.image : s.masked;
    if (drawMode_ == 1)
        painter.drawImage(r, image);
    else
        painter.drawImage(0, 0, image);
}

void CSkinButton::FillFace(QPainter& painter) const {
    painter.fillRect(rect(), palette().color(QPalette::Button));
}

void CSkinButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect r = rect();
    QRect textRect = r.adjusted(margin_ + 2, 0, -(margin_ + 2), 0);
    const QString caption = text();

    if (!isEnabled()) {
        if (disabled_.image.isNull())
            FillFace(painter);
        else
            DrawImage(painter, disabled_);
        if (edge_)
            qDrawWinButton(&painter, r, palette(), false);
        // Embossed caption: a light copy, and the grey one a pixel up and left over it.
        painter.setPen(palette().color(QPalette::Light));
        painter.drawText(textRect, kTextFlags, caption);
        textRect.translate(-1, -1);
        painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
    } else {
        if (isDown() || checked_) {
            if (pressed_.image.isNull())
                FillFace(painter);
            else
                DrawImage(painter, pressed_);
            textRect.translate(1, 1);
            if (edge_)
                qDrawWinButton(&painter, r, palette(), true);
        } else {
            if (normal_.image.isNull())
                FillFace(painter);
            else if (hovering_ && !hover_.image.isNull())
                DrawImage(painter, hover_);
            else if (hasFocus() && !focus_.image.isNull())
                DrawImage(painter, focus_);
            else
                DrawImage(painter, normal_);
            if (edge_)
                qDrawWinButton(&painter, r, palette(), false);
        }
        if (hasFocus() && margin_ > 0) {
            painter.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
            painter.drawRect(r.adjusted(margin_, margin_, -margin_ - 1, -margin_ - 1));
        }
        painter.setPen(textColor_);
    }
    painter.drawText(textRect, kTextFlags, caption);
}

void CSkinButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        hovering_ = false;
        QPushButton::mousePressEvent(event);
        held_ = true;
        return;
    }
    QPushButton::mousePressEvent(event);
}

void CSkinButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        if (kind_ != PushButton && rect().contains(event->position().toPoint()))
            SetCheck(kind_ == CheckBox ? !checked_ : true);
        held_ = false;
    }
    // Qt's button sends clicked() only when the release is over the button.
    QPushButton::mouseReleaseEvent(event);
}

void CSkinButton::mouseMoveEvent(QMouseEvent* event) {
    // While held, Qt's button shows itself pushed exactly while the cursor is over it.
    if (!held_ && !hovering_) {
        hovering_ = true;
        update();
    }
    QPushButton::mouseMoveEvent(event);
}

void CSkinButton::leaveEvent(QEvent* event) {
    hovering_ = false;
    update();
    QPushButton::leaveEvent(event);
}

void CSkinButton::focusOutEvent(QFocusEvent* event) {
    held_ = false;
    QPushButton::focusOutEvent(event);
}

void CSkinButton::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat() && kind_ != PushButton)
        SetCheck(kind_ == CheckBox ? !checked_ : true);
    QPushButton::keyPressEvent(event);
}
