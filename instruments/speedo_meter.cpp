#include "instruments/speedo_meter.h"

#include <QHash>
#include <QPaintEvent>
#include <QPainter>

#include "app/format.h"
#include "app/message.h"
#include "resources/resource_ids.h"

namespace {

// Decoded faces by id: a paint starts from a copy, so the decoded image itself stays clean
// and the PNG is decoded once per process rather than once per tick.
QHash<int, QImage>& FaceCache() {
    static QHash<int, QImage> cache;
    return cache;
}

}  // namespace

CSpeedoMeter::CSpeedoMeter(QWidget* parent) : QWidget(parent) {
    // The painter covers the whole client area: no separate erase, no flicker.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CSpeedoMeter::SetFaceBitmap(int id) {
    faceId_ = id;
    LoadBitmapResource(id);
    traces_.valid = false;
}

void CSpeedoMeter::SetNeedleColor(uint32_t colorRef) {
    needleColor_ = QColor(colorRef & 0xff, (colorRef >> 8) & 0xff, (colorRef >> 16) & 0xff);
}

void CSpeedoMeter::SetSampleList(const TrackEntry* first) {
    sampleList_ = first;
    // The form sets the list again whenever it opens or closes a recording, even when the
    // new track happens to reuse the old first entry's address.
    traces_.valid = false;
}

QImage CSpeedoMeter::LoadBitmapResource(int id) {
    QHash<int, QImage>& cache = FaceCache();
    auto found = cache.constFind(id);
    if (found != cache.constEnd())
        return *found;
    QImage image(BitmapPath(id));
    if (image.isNull()) {
        ShowMessage(FormatText("Error loading bitmap with ID=%d", id));
        return {};
    }
    image = image.convertToFormat(QImage::Format_RGB32);
    cache.insert(id, image);
    return image;
}

QSize CSpeedoMeter::sizeHint() const {
    const bool chart =
        mode_ == InstrumentMode::GSensorChart || mode_ == InstrumentMode::SatelliteChart;
    return chart ? QSize(470, 130) : QSize(210, 210);
}

QImage CSpeedoMeter::DrawInstrument() {
    switch (mode_) {
        case InstrumentMode::Compass:
            return CompassFace();
        case InstrumentMode::GSensorChart: {
            QImage canvas = GSensorBase(LoadBitmapResource(faceId_));
            PaintGSensorChart(canvas);
            return canvas;
        }
        case InstrumentMode::SatelliteChart: {
            QImage canvas = LoadBitmapResource(faceId_);
            PaintSatelliteChart(canvas);
            return canvas;
        }
        case InstrumentMode::Speedometer:
            break;
    }
    QImage canvas = LoadBitmapResource(faceId_);
    PaintSpeedometer(canvas);
    return canvas;
}

void CSpeedoMeter::paintEvent(QPaintEvent* event) {
    const QImage canvas = DrawInstrument();
    QPainter painter(this);
    // Without a face the copy shows nothing of the instrument.
    painter.fillRect(event->rect(), Qt::black);
    if (!canvas.isNull())
        painter.drawImage(0, 0, canvas);
}
