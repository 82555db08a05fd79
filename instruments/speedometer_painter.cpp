// Mode 0: a needle over the dial and the speed in km/h and mph in the dial's window.

#include <QPainter>

#include <algorithm>
#include <cmath>

#include "app/format.h"
#include "instruments/instrument_font.h"
#include "instruments/instrument_paint.h"
#include "instruments/speedo_meter.h"
#include "track/track_sample.h"

void CSpeedoMeter::PaintSpeedometer(QImage& canvas) {
    clientWidth_ = width();
    clientHeight_ = height();
    centreX_ = clientWidth_ / 2;
    centreY_ = clientHeight_ / 2;
    radius_ =
        static_cast<int>(static_cast<float>(std::min(clientWidth_, clientHeight_)) * 0.33333334f);
    needleRefX_ = centreX_;
    needleRefY_ = centreY_ + radius_;
    speedValue_ = current_ ? TruncToInt(current_->sample.speed) : 0;
    if (canvas.isNull())
        return;

    // Degrees from straight down, clockwise on screen; the constants are the single-precision
    // ones the dial was calibrated with.
    const float angle = static_cast<float>(startAngle_) + static_cast<float>(speedValue_);
    const float theta = angle * 0.0055555557f * 3.14159265f;
    const int tipX = TruncToInt(centreX_ - radius_ * std::sin(static_cast<double>(theta)));
    const int tipY = TruncToInt(centreY_ + radius_ * std::cos(static_cast<double>(theta)));

    QPainter painter(&canvas);
    painter.setPen(QPen(needleColor_, needleWidth_, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawLine(centreX_, centreY_, tipX, tipY);

    painter.setPen(QColor(255, 0, 0));
    const int mph = TruncToInt(speedValue_ * 0.63);
    DrawInstrumentText(painter, InstrumentFont(22), Box(82, 152, 132, 182),
                       Qt::AlignLeft | Qt::AlignTop,
                       QString::fromStdString(FormatText("%d/%d", speedValue_, mph)));
}
