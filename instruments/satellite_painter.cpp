// Mode 3: one bar per satellite in view, coloured by signal strength when used in the fix.

#include <QPainter>

#include <algorithm>

#include "app/format.h"
#include "instruments/instrument_font.h"
#include "instruments/instrument_paint.h"
#include "instruments/speedo_meter.h"
#include "track/track_sample.h"

namespace {

QColor BarColor(const SatelliteSlot& slot) {
    if (slot.used == 0)
        return {128, 128, 128};
    if (slot.snr >= 40)
        return {0, 255, 0};
    if (slot.snr >= 30)
        return {217, 255, 0};
    if (slot.snr >= 20)
        return {255, 255, 0};
    if (slot.snr >= 10)
        return {255, 128, 0};
    return {255, 0, 0};
}

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

void CSpeedoMeter::PaintSatelliteChart(QImage& canvas) {
    if (canvas.isNull())
        return;
    QPainter painter(&canvas);
    painter.setPen(QColor(0, 0, 255));
    const QPoint axes[] = {{35, 15}, {35, 115}, {395, 115}};
    painter.drawPolyline(axes, 3);

    const TrackSample* sample = current_ ? &current_->sample : nullptr;
    const int bars = sample ? std::clamp(sample->inview_no, 0, kMaxSatellites) : 0;
    for (int i = 0; i < bars; ++i) {
        const SatelliteSlot& slot = sample->sats[i];
        // A negative ratio gives an upside-down box, which fills nothing.
        if (slot.snr > 0)
            painter.fillRect(Box(36 + 22 * i, 115 - slot.snr, 56 + 22 * i, 115), BarColor(slot));
    }

    const InstrumentFace face = InstrumentFont(18);
    painter.setPen(QColor(255, 255, 255));
    if (!sample)
        return;
    for (int i = 0; i < bars; ++i) {
        const SatelliteSlot& slot = sample->sats[i];
        const int left = 36 + 22 * i;
        DrawInstrumentText(painter, face, Box(left, 95 - slot.snr, left + 20, 115 - slot.snr),
                           Qt::AlignHCenter | Qt::AlignTop, Text(FormatText("%02d", slot.snr)));
        DrawInstrumentText(painter, face, Box(left, 117, left + 20, 137),
                           Qt::AlignHCenter | Qt::AlignTop, Text(FormatText("%02d", slot.prn)));
    }
    const Qt::Alignment flags = Qt::AlignLeft | Qt::AlignTop;
    DrawInstrumentText(painter, face, Box(399, 15, 499, 35), flags,
                       Text(FormatText("in view : %02d", sample->inview_no)));
    DrawInstrumentText(painter, face, Box(399, 35, 499, 55), flags,
                       Text(FormatText("in use : %02d", sample->inuse_no)));
    DrawInstrumentText(painter, face, Box(399, 55, 499, 75), flags,
                       Text(FormatText("index : %d", current_->index)));
    DrawInstrumentText(painter, face, Box(399, 75, 499, 95), flags,
                       Text(FormatText("valid : %d", sample->valid)));
}
