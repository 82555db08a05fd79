#pragma once
// Reading the numbered test clips: frame n shows n in binary as eight blocks across its top
// half (white 1, most significant bit on the left); see make-numbered-clips.

#include <QColor>
#include <QImage>
#include <QString>

inline const QString kNumberedClips = QStringLiteral(VANTRAIL_TEST_DATA "/clips/");
inline constexpr int kNumberedWidth = 160;
inline constexpr int kNumberedHeight = 96;

inline int FrameNumber(const QImage& image) {
    int n = 0;
    for (int bit = 0; bit < 8; ++bit)
        n = n * 2 + (QColor(image.pixel(bit * 20 + 10, 24)).lightness() > 128 ? 1 : 0);
    return n;
}
