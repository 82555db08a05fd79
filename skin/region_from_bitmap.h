#pragma once
// Window shapes from mask images: the shape is every pixel whose colour is not the key.

#include <QColor>
#include <QImage>
#include <QRegion>

// The region of the pixels of mask that differ from key; empty for a null mask or an image
// that is all key colour.
QRegion RegionFromBitmap(const QImage& mask, const QColor& key);
