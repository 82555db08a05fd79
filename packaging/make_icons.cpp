// Writes the application icon (icon 128 of the resources) at the given sizes of the hicolor
// icon theme, as FOLDER/hicolor/<n>x<n>/apps/NAME.png.
// Usage: make-icons FOLDER NAME SIZE...

#include <QDir>
#include <QImage>

#include <cstdio>

#include "resources/resource_ids.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fputs("usage: make-icons FOLDER NAME SIZE...\n", stderr);
        return 2;
    }
    const QImage icon(BitmapPath(128));
    if (icon.isNull()) {
        std::fputs("make-icons: the program's icon is missing from its resources\n", stderr);
        return 1;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int i = 3; i < argc; ++i) {
        const int size = QString::fromLocal8Bit(argv[i]).toInt();
        const QString dir = QStringLiteral("%1/hicolor/%2x%2/apps").arg(folder).arg(size);
        const QString path = QStringLiteral("%1/%2.png").arg(dir, name);
        if (size <= 0 || !QDir().mkpath(dir) ||
            !icon.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).save(path)) {
            std::fprintf(stderr, "make-icons: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
