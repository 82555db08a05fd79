#include "skin/region_from_bitmap.h"

#include <QBitmap>

QRegion RegionFromBitmap(const QImage& mask, const QColor& key) {
    if (mask.isNull())
        return {};
    // Opaque pixels compare on their colour alone, whatever format the image was stored in.
    const QImage opaque = mask.convertToFormat(QImage::Format_RGB32);
    // With MaskInColor the bits that QRegion takes are the pixels other than the key.
    const QImage bits = opaque.createMaskFromColor(QColor(key.rgb()).rgba(), Qt::MaskInColor);
    return QRegion(QBitmap::fromImage(bits));
}
