#include "instruments/instrument_font.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <QStringList>

#include <algorithm>

namespace {

constexpr const char* kDsegFamily = "DSEG7 Classic";
constexpr const char* kDsegFile = "/usr/share/fonts/truetype/dseg/DSEG7Classic-Bold.ttf";
constexpr const char* kWordsFamily = "DejaVu Sans";
// DSEG7's figures are almost as wide as they are high; the readout boxes were laid out for
// a narrow face, so the figures are condensed a little over half their height.
constexpr int kDsegStretch = 64;

bool registered = false;
constexpr char kFigures[] = "+-.0123456789";

bool IsFigure(QChar c) {
    return c.isDigit() || c == QLatin1Char('.') || c == QLatin1Char('-');
}

}  // namespace

bool RegisterInstrumentFont() {
    if (registered)
        return true;
    bool available = QFontDatabase::families().contains(QString::fromLatin1(kDsegFamily));
    if (!available && QFile::exists(QString::fromLatin1(kDsegFile)))
        available = QFontDatabase::addApplicationFont(QString::fromLatin1(kDsegFile)) >= 0;
    if (!available)
        return false;
    QFont::insertSubstitution(QString::fromLatin1(kInstrumentFaceName),
                              QString::fromLatin1(kDsegFamily));
    registered = true;
    return true;
}

InstrumentFace InstrumentFont(int height) {
    const int size = std::max(1, height * 2 / 3);
    InstrumentFace face;
    face.words = QFont(QString::fromLatin1(kWordsFamily));
    face.words.setPixelSize(size);
    face.words.setWeight(QFont::Bold);
    face.words.setStretch(QFont::Condensed);
    face.words.setStyleHint(QFont::SansSerif, QFont::PreferQuality);
    if (registered) {
        face.figures = QFont(QString::fromLatin1(kInstrumentFaceName));
        face.figures.setPixelSize(size);
        // "Thick Upright" is the bold, upright cut of the family.
        face.figures.setStyleName(QStringLiteral("Bold"));
        face.figures.setStretch(kDsegStretch);
    } else {
        face.figures = face.words;
    }
    // DSEG7's figures rise above its ascent at some sizes; the baseline leaves them room.
    const QFontMetrics figures(face.figures);
    face.baseline =
        std::max({figures.ascent(), -figures.tightBoundingRect(QString::fromLatin1(kFigures)).top(),
                  QFontMetrics(face.words).ascent()});
    return face;
}

void DrawInstrumentText(QPainter& painter, const InstrumentFace& face, const QRect& box,
                        Qt::Alignment alignment, const QString& text) {
    struct Run {
        QString text;
        const QFont* font;
        int width;
    };
    QList<Run> runs;
    int total = 0;
    for (qsizetype i = 0; i < text.size();) {
        const bool figures = IsFigure(text[i]);
        qsizetype end = i;
        while (end < text.size() && IsFigure(text[end]) == figures) ++end;
        Run run{text.mid(i, end - i), figures ? &face.figures : &face.words, 0};
        run.width = QFontMetrics(*run.font).horizontalAdvance(run.text);
        total += run.width;
        runs.append(run);
        i = end;
    }
    int x = box.left();
    if (alignment & Qt::AlignHCenter)
        x += (box.width() - total) / 2;
    painter.save();
    painter.setClipRect(box, Qt::IntersectClip);
    for (const Run& run : runs) {
        painter.setFont(*run.font);
        painter.drawText(QPoint(x, box.top() + face.baseline), run.text);
        x += run.width;
    }
    painter.restore();
}
