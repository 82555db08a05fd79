// Mode 2: the three acceleration axes of the whole recording, a cursor at the current
// entry and its values.

#include <QList>
#include <QPainter>

#include <algorithm>

#include "app/format.h"
#include "instruments/instrument_font.h"
#include "instruments/instrument_paint.h"
#include "instruments/speedo_meter.h"
#include "track/track_sample.h"

namespace {

constexpr int kPlotLeft = 35;
constexpr int kPlotTop = 15;
constexpr int kPlotBottom = 115;

// 25 pixels per g, +2 g at the top of the plot. Values beyond the band are drawn outside it;
// the clamp only keeps absurd values from overflowing.
int ValueY(double g) {
    return kPlotBottom - std::clamp(TruncToInt((g + 2.0) * 25.0), -100000, 100000);
}

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
    for (const TrackEntry* e = sampleList_; e; e = e->next) ++traces_.count;
    if (traces_.count > 0)
        traces_.step = std::max(360 / traces_.count, 1);
    if (face.isNull())
        return traces_.base;

    QPainter painter(&traces_.base);
    painter.setPen(QColor(0, 0, 255));
    const QPoint axes[] = {{kPlotLeft, kPlotTop}, {kPlotLeft, kPlotBottom}, {395, kPlotBottom}};
    painter.drawPolyline(axes, 3);
    // A single entry makes each trace a line of no length, which shows nothing.
    if (traces_.count < 2)
        return traces_.base;

    // Entries past the image's right edge cannot show; the trace stops at the first of them.
    const int lastX = face.width();
    QList<const TrackEntry*> visible;
    for (const TrackEntry* e = sampleList_; e; e = e->next) {
        visible.append(e);
        if (kPlotLeft + (visible.size() - 1) * traces_.step > lastX)
            break;
    }
    struct Trace {
        double TrackSample::*axis;
        QColor color;
    };
    const Trace traces[] = {{&TrackSample::x, QColor(255, 0, 0)},
                            {&TrackSample::y, QColor(0, 255, 0)},
                            {&TrackSample::z, QColor(0, 0, 255)}};
    QList<QPoint> points(visible.size() + 1);
    for (const Trace& trace : traces) {
        points[0] = QPoint(kPlotLeft, ValueY(visible.front()->sample.*trace.axis));
        for (qsizetype i = 0; i < visible.size(); ++i)
            points[i + 1] = QPoint(kPlotLeft + static_cast<int>(i) * traces_.step,
                                   ValueY(visible[i]->sample.*trace.axis));
        painter.setPen(trace.color);
        painter.drawPolyline(points.constData(), static_cast<int>(points.size()));
    }
    return traces_.base;
}

void CSpeedoMeter::PaintGSensorChart(QImage& canvas) {
    if (canvas.isNull())
        return;
    QPainter painter(&canvas);
    if (sampleList_ && current_) {
        const long long x = kPlotLeft + static_cast<long long>(current_->index) * traces_.step;
        const int cursorX = static_cast<int>(std::clamp(x, -100000LL, 100000LL));
        painter.setPen(QColor(0, 0, 255));
        painter.drawLine(cursorX, kPlotTop, cursorX, kPlotBottom);
    }

    const InstrumentFace face = InstrumentFont(18);
    painter.setPen(QColor(0, 0, 0));
    const Qt::Alignment flags = Qt::AlignLeft | Qt::AlignTop;
    DrawInstrumentText(painter, face, Box(0, 0, 100, 30), flags, Text(FormatText("+%d", 2)));
    DrawInstrumentText(painter, face, Box(0, 95, 100, 115), flags, Text(FormatText("%d", -2)));
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
