#pragma once
// One instrument control of the control form, in one of four display modes. Every paint
// draws the current entry over a clean copy of the mode's face image.

#include <QColor>
#include <QImage>
#include <QWidget>

#include <cstdint>

struct TrackEntry;

enum class InstrumentMode { Speedometer = 0, Compass = 1, GSensorChart = 2, SatelliteChart = 3 };

class CSpeedoMeter : public QWidget {
    Q_OBJECT

public:
    explicit CSpeedoMeter(QWidget* parent = nullptr);

    // Stores the face image id and loads it once, so a missing image is reported at once.
    void SetFaceBitmap(int id);
    void SetNeedleWidth(int pixels) { needleWidth_ = pixels; }
    void SetNeedleColor(const QColor& color) { needleColor_ = color; }
    // A colour value in the form 0x00BBGGRR.
    void SetNeedleColor(uint32_t colorRef);
    void SetMode(InstrumentMode mode) { mode_ = mode; }
    // Borrowed: the track must outlive the instrument's use of these entries.
    void SetSampleList(const TrackEntry* first);
    void SetCurrentSample(const TrackEntry* entry) { current_ = entry; }
    // Repaints the whole instrument on the next paint.
    void Refresh() { update(); }

    // The image with that resource id; on failure shows "Error loading bitmap with ID=<id>"
    // and returns a null image.
    QImage LoadBitmapResource(int id);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Fills canvas with the face image and the mode's drawing, in image pixels.
    QImage DrawInstrument();
    void PaintSpeedometer(QImage& canvas);
    QImage CompassFace();
    void PaintGSensorChart(QImage& canvas);
    void PaintSatelliteChart(QImage& canvas);
    // Face, axes and the three traces of the whole track; rebuilt only when the track or
    // the face changes.
    const QImage& GSensorBase(const QImage& face);
    // The chart's column of an entry of the current traces.
    int TraceX(int index) const;

    int speedValue_ = 0;
    int startAngle_ = 60;
    int needleRefX_ = 0;
    int needleRefY_ = 0;
    int needleWidth_ = 5;
    QColor needleColor_{0, 0, 0};
    int clientWidth_ = 0;
    int clientHeight_ = 0;
    int centreX_ = 0;
    int centreY_ = 0;
    int radius_ = 0;
    int faceId_ = 0;
    InstrumentMode mode_ = InstrumentMode::Speedometer;
    const TrackEntry* sampleList_ = nullptr;
    const TrackEntry* current_ = nullptr;

    struct TraceCache {
        bool valid = false;
        qint64 faceKey = 0;
        int count = 0;
        int step = 1;
        QImage base;
    } traces_;
};
