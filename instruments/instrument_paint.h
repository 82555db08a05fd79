#pragma once
// Small helpers shared by the four painters.

#include <QRect>

#include <cmath>
#include <limits>

// C's truncation toward zero, kept defined for values an int cannot hold.
inline int TruncToInt(double v) {
    if (std::isnan(v))
        return 0;
    if (v >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (v <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}

// A box given as left, top, right, bottom with the right and bottom edges excluded.
inline QRect Box(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left, bottom - top);
}

// The G-sensor chart's scale tags down its left edge: the face draws each tag and its unit,
// the chart the figures in it.
struct ScaleTag {
    int top;
    const char* figures;
};
inline constexpr ScaleTag kGScaleTags[] = {{0, "+2"}, {57, "0"}, {95, "-2"}};
inline constexpr int kGScaleTagWidth = 27;
inline constexpr int kGScaleTagHeight = 17;
