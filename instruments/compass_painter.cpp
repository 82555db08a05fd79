// Mode 1: one of 24 rose images, one per 15 degrees of course; nothing is drawn over it.

#include <algorithm>

#include "instruments/instrument_paint.h"
#include "instruments/speedo_meter.h"
#include "track/track_sample.h"

QImage CSpeedoMeter::CompassFace() {
    const int course = current_ ? TruncToInt(current_->sample.dir) : 0;
    // Widened so that a course near the int limits cannot overflow the product.
    const long long index = std::clamp(static_cast<long long>(course) * 24 / 360, 0LL, 23LL);
    return LoadBitmapResource(faceId_ + static_cast<int>(index));
}
