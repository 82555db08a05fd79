#include "skin/bitmap_dialog.h"

#include <QPainter>

#include "resources/resource_ids.h"

CBitmapDialog::CBitmapDialog(QWidget* parent) : QDialog(parent) {
    // The ordinary erase first, so that a missing or smaller image leaves the window colour.
    setAutoFillBackground(true);
}

void CBitmapDialog::SetBackgroundMode(int mode) {
    if (mode >= Tile && mode <= Stretch) {
        mode_ = mode;
        update();
    }
}

bool CBitmapDialog::LoadBackground(int id) {
    SetBackground(QPixmap(BitmapPath(id & 0xffff)));
    return !background_.isNull();
}

void CBitmapDialog::SetBackground(const QPixmap& image) {
    background_ = image;
    update();
}

void CBitmapDialog::paintEvent(QPaintEvent*) {
    if (background_.isNull())
        return;
    QPainter painter(this);
    const int cw = width();
    const int ch = height();
    const int bw = background_.width();
    const int bh = background_.height();
    switch (mode_) {
        case Tile:
            for (int y = 0; y < ch; y += bh)
                for (int x = 0; x < cw; x += bw) painter.drawPixmap(x, y, background_);
            break;
        case Centre:
            painter.drawPixmap(bw < cw ? (cw - bw) / 2 : 0, bh < ch ? (ch - bh) / 2 : 0,
                               background_);
            break;
        case Stretch:
            painter.drawPixmap(rect(), background_);
            break;
    }
}
