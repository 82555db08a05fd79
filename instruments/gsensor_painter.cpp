// Mode 2: the three acceleration axes of the whole recording, a cursor at the current
// entry and its values.

#include <QList>
#include <QPainter>

#include <algorithm>
#include <array>
#include <vector>

#include "app/format.h"
#include "instruments/instrument_font.h"
#include "instruments/instrument_paint.h"
#include "instruments/speedo_meter.h"
#include "track/track_sample.h"

namespace {

constexpr int kPlotLeft = 35;
constexpr int kPlotRight = 395;
constexpr int kPlotTop = 15;
constexpr int kPlotBottom = 115;

// 25 pixels per g, +2 g at the top of the plot. Values beyond the band are drawn on its edge,
// inside the frame.
int ValueY(double g) {
    return kPlotBottom - std::clamp(TruncToInt((g + 2.0) * 25.0), 0, kPlotBottom - kPlotTop);
}

// A trace through many entries per pixel column draws the same pixels through the column's
// first, top, bottom and last points alone, so a day's log costs no more than a minute's.
class TraceLine {
public:
    void Add(int x, int y) {
        if (open_ && x == column_.x) {
            column_.top = std::min(column_.top, y);
            column_.bottom = std::max(column_.bottom, y);
            column_.last = y;
            return;
        }
        Close();
        column_ = {x, y, y, y, y};
        open_ = true;
    }
    const QList<QPoint>& Points() {
        Close();
        return points_;
    }

private:
    void Close() {
        if (!open_)
            return;
        for (int y : {column_.first, column_.top, column_.bottom, column_.last}) {
            const QPoint p(column_.x, y);
            if (points_.empty() || points_.back() != p)
                points_.append(p);
        }
        open_ = false;
    }

    struct {
        int x, first, top, bottom, last;
    } column_{};
    bool open_ = false;
    QList<QPoint> points_;
};

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

const QImage& CSpeedoMeter::GSensorBase(const QImage& face) {
    if (traces_.valid && traces_.faceKey == face.cacheKey())
        return traces_.base;
    traces_ = TraceCache{};
    traces_.valid = true;
    traces_.faceKey = face.cacheKey();
    traces_.base = face;
    // One pass over the track, which for a day's log is too large for the cache: each
    // entry's rows are kept until the count of entries places them in their columns.
    constexpr double TrackSample::*kAxes[] = {&TrackSample::x, &TrackSample::y, &TrackSample::z};
    std::vector<std::array<int, 3>> rows;
    for (const TrackEntry* e = sampleList_; e; e = e->next)
        rows.push_back({ValueY(e->sample.*kAxes[0]), ValueY(e->sample.*kAxes[1]),
                        ValueY(e->sample.*kAxes[2])});
    traces_.count = static_cast<int>(rows.size());
    if (traces_.count > 0)
        traces_.step = std::max(360 / traces_.count, 1);
    if (face.isNull())
        return traces_.base;

    QPainter painter(&traces_.base);
    painter.setPen(QColor(0, 0, 255));
    const QPoint axes[] = {
        {kPlotLeft, kPlotTop}, {kPlotLeft, kPlotBottom}, {kPlotRight, kPlotBottom}};
    painter.drawPolyline(axes, 3);
    // A single entry makes each trace a line of no length, which shows nothing.
    if (traces_.count < 2)
        return traces_.base;

    TraceLine lines[3];
    for (int index = 0; index < traces_.count; ++index) {
        const int x = TraceX(index);
        for (int k = 0; k < 3; ++k) lines[k].Add(x, rows[index][k]);
    }
    const QColor colors[] = {QColor(255, 0, 0), QColor(0, 255, 0), QColor(0, 0, 255)};
    // A line's square cap reaches half a pixel past its end, which is outside the frame at
    // the band's edges.
    painter.setClipRect(QRect(QPoint(kPlotLeft, kPlotTop), QPoint(kPlotRight, kPlotBottom)));
    for (int k = 0; k < 3; ++k) {
        const QList<QPoint>& points = lines[k].Points();
        painter.setPen(colors[k]);
        painter.drawPolyline(points.constData(), static_cast<int>(points.size()));
    }
    return traces_.base;
}

int CSpeedoMeter::TraceX(int index) const {
    // Up to a pixel column per entry; a longer track is squeezed into the plot's width.
    const long long width = kPlotRight - kPlotLeft;
    const long long x = static_cast<long long>(traces_.count - 1) * traces_.step <= width
                            ? static_cast<long long>(index) * traces_.step
                            : static_cast<long long>(index) * width / (traces_.count - 1);
    return kPlotLeft + static_cast<int>(std::clamp(x, 0LL, width));
}

void CSpeedoMeter::PaintGSensorChart(QImage& canvas) {
    if (canvas.isNull())
        return;
    QPainter painter(&canvas);
    if (sampleList_ && current_) {
        const int cursorX = TraceX(current_->index);
        painter.setPen(QColor(0, 0, 255));
        painter.drawLine(cursorX, kPlotTop, cursorX, kPlotBottom);
    }

    const InstrumentFace face = InstrumentFont(18);
    painter.setPen(QColor(0, 0, 0));
    const Qt::Alignment flags = Qt::AlignLeft | Qt::AlignTop;
    // The figures stand in the middle of their tags: at a tag's edge (the chart's top edge
    // for +2) they look cut off.
    for (const ScaleTag& tag : kGScaleTags) {
        const int top = tag.top + std::max(0, (kGScaleTagHeight - face.baseline) / 2);
        DrawInstrumentText(painter, face, Box(1, top, 100, top + 30), flags,
                           QString::fromLatin1(tag.figures));
    }
    if (!current_)
        return;
    const TrackSample& s = current_->sample;
    painter.setPen(QColor(255, 0, 0));
    DrawInstrumentText(painter, face, Box(399, 15, 499, 35), flags,
                       Text(FormatText("x : %.03f", s.x)));
    painter.setPen(QColor(0, 255, 0));
    DrawInstrumentText(painter, face, Box(399, 35, 499, 55), flags,
                       Text(FormatText("y : %.03f", s.y)));
    painter.setPen(QColor(0, 0, 255));
    DrawInstrumentText(painter, face, Box(399, 55, 499, 75), flags,
                       Text(FormatText("z : %.03f", s.z)));
    painter.setPen(QColor(255, 255, 255));
    DrawInstrumentText(painter, face, Box(399, 75, 499, 95), flags,
                       Text(FormatText("index : %d", current_->index)));
}
