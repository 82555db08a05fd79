#include "evidence/still_caption.h"

#include <QBuffer>
#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>

#include "track/track.h"

namespace {

constexpr QRgb kBandColor = 0xff1b1f24;
constexpr QRgb kTextColor = 0xfff2f2f2;
// The statute mile, not the speedometer's rounder factor: a still may be shown as evidence.
constexpr double kKmPerMile = 1.609344;
const QString kFieldGap = QStringLiteral("   ");

QString ClipTime(qint64 ms) {
    return QStringLiteral("%1:%2:%3.%4")
        .arg(ms / 3600000, 2, 10, QLatin1Char('0'))
        .arg(ms / 60000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

QString UtcTime(const TrackSample& s) {
    return QStringLiteral("%1-%2-%3 %4:%5:%6 UTC")
        .arg(s.year + 1900, 4, 10, QLatin1Char('0'))
        .arg(s.month + 1, 2, 10, QLatin1Char('0'))
        .arg(s.day, 2, 10, QLatin1Char('0'))
        .arg(s.hour, 2, 10, QLatin1Char('0'))
        .arg(s.minute, 2, 10, QLatin1Char('0'))
        .arg(s.second, 2, 10, QLatin1Char('0'));
}

QString Position(const TrackSample& s) {
    if (s.valid <= 0)
        return QStringLiteral("no GPS fix");
    double lat = 0;
    double lon = 0;
    NmeaToDegrees(s.lat, s.lon, &lat, &lon);
    return QStringLiteral("%1, %2").arg(lat, 0, 'f', 6).arg(lon, 0, 'f', 6);
}

}  // namespace

QList<QStringList> StillCaptionLines(const StillCaption& caption) {
    QList<QStringList> lines{
        {caption.fileName,
         QStringLiteral("at ") + ClipTime(std::max<qint64>(caption.clipTimeMs, 0))}};
    if (!caption.sample)
        return lines;
    const TrackSample& s = *caption.sample;
    const double g = std::sqrt(s.x * s.x + s.y * s.y + s.z * s.z);
    lines.append({UtcTime(s),
                  QStringLiteral("%1 km/h (%2 mph)")
                      .arg(s.speed, 0, 'f', 1)
                      .arg(s.speed / kKmPerMile, 0, 'f', 1),
                  QStringLiteral("course %1\u00b0").arg(s.dir, 0, 'f', 1)});
    lines.append({Position(s), QStringLiteral("|g| %1").arg(g, 0, 'f', 2)});
    return lines;
}

QImage DrawStillCaption(const QImage& frame, const StillCaption& caption) {
    // Readable at 100 % on a small clip, and in proportion on a large one.
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::max(14, frame.width() / 60));
    const QFontMetrics metrics(font);
    const int margin = font.pixelSize() / 2;
    const QList<QStringList> lines = StillCaptionLines(caption);

    // No figure is cut off: a frame narrower than the widest field gets a wider band.
    int textWidth = frame.width() - 2 * margin;
    for (const QStringList& fields : lines) {
        for (const QString& field : fields)
            textWidth = std::max(textWidth, metrics.horizontalAdvance(field));
    }

    // Fields stay whole: a line that does not fit goes on in the next row.
    QStringList rows;
    for (const QStringList& fields : lines) {
        QString row = fields.front();
        for (qsizetype i = 1; i < fields.size(); ++i) {
            const QString longer = row + kFieldGap + fields[i];
            if (metrics.horizontalAdvance(longer) <= textWidth) {
                row = longer;
            } else {
                rows << row;
                row = fields[i];
            }
        }
        rows << row;
    }

    QImage still(
        textWidth + 2 * margin,
        frame.height() + static_cast<int>(rows.size()) * metrics.lineSpacing() + 2 * margin,
        QImage::Format_RGB32);
    still.fill(kBandColor);
    QPainter painter(&still);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(0, 0, frame);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setFont(font);
    painter.setPen(QColor(kTextColor));
    int baseline = frame.height() + margin + metrics.ascent();
    for (const QString& row : rows) {
        painter.drawText(margin, baseline, row);
        baseline += metrics.lineSpacing();
    }
    return still;
}

int WriteStillPng(const QImage& image, const QString& path, OutputMode mode) {
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
        return EIO;
    const auto size = static_cast<size_t>(png.size());
    return WriteOutputFile(
        QFile::encodeName(path).toStdString(),
        [&png, size](std::FILE* out) { return std::fwrite(png.constData(), 1, size, out) == size; },
        mode);
}
