// Writes the application icon at the given sizes of the hicolor icon theme, as
// FOLDER/hicolor/<n>x<n>/apps/NAME.png. Up to its own size the icon is icon 128 of the
// resources; larger ones are cut the same way from the speedometer face that icon 128 is
// made from, so that they stay sharp.
// Usage: make-icons FOLDER NAME SIZE...

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

#include "resources/resource_ids.h"

namespace {
constexpr int kIcon = 128;
constexpr int kSpeedometerFace = 1159;

QImage Icon(int size) {
    const QImage icon(BitmapPath(kIcon));
    if (size <= icon.width())
        return icon.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QImage large(size, size, QImage::Format_ARGB32_Premultiplied);
    large.fill(Qt::transparent);
    QPainter p(&large);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath round;
    round.addEllipse(QRectF(0, 0, size, size));
    p.setClipPath(round);
    p.drawImage(0, 0,
                QImage(BitmapPath(kSpeedometerFace))
                    .scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    return large;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fputs("usage: make-icons FOLDER NAME SIZE...\n", stderr);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int i = 3; i < argc; ++i) {
        const int size = QString::fromLocal8Bit(argv[i]).toInt();
        const QString dir = QStringLiteral("%1/hicolor/%2x%2/apps").arg(folder).arg(size);
        const QString path = QStringLiteral("%1/%2.png").arg(dir, name);
        const QImage icon = size > 0 ? Icon(size) : QImage();
        if (icon.isNull() || !QDir().mkpath(dir) || !icon.save(path)) {
            std::fprintf(stderr, "make-icons: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
