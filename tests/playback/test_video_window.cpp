#include <QTest>
#include <QVideoFrame>
#include <QVideoSink>

#include <cmath>
#include <functional>

#include "playback/video_window.h"

namespace {

using Format = QVideoFrameFormat;

// The picture of every test frame: two rows of three 4x4 blocks, so that no chroma sample
// spans two colours.
constexpr int kBlock = 4;
const QColor kColours[2][3] = {{QColor(255, 0, 0), QColor(0, 255, 0), QColor(0, 0, 255)},
                               {QColor(255, 255, 255), QColor(0, 0, 0), QColor(200, 120, 40)}};
const QSize kFrameSize(3 * kBlock, 2 * kBlock);

QColor ColourAt(int x, int y) {
    return kColours[y / kBlock][x / kBlock];
}

// Within a few levels: the rounding of 8-bit samples.
bool Near(const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) <= 3 && std::abs(a.green() - b.green()) <= 3 &&
           std::abs(a.blue() - b.blue()) <= 3 && a.alpha() == 255;
}

struct Yuv {
    uchar y, u, v;
};

// Encodes the way a camera's encoder does, from the colour space's luma weights.
Yuv Encode(const QColor& c, Format::ColorSpace space, Format::ColorRange range) {
    const double kr = space == Format::ColorSpace_BT709 ? 0.2126 : 0.299;
    const double kb = space == Format::ColorSpace_BT709 ? 0.0722 : 0.114;
    const double y = kr * c.redF() + (1 - kr - kb) * c.greenF() + kb * c.blueF();
    const bool full = range == Format::ColorRange_Full;
    const auto byte = [](double value) { return uchar(std::clamp(std::lround(value), 0L, 255L)); };
    return {byte(full ? 255 * y : 16 + 219 * y),
            byte(128 + (full ? 255 : 224) * (c.blueF() - y) / (2 * (1 - kb))),
            byte(128 + (full ? 255 : 224) * (c.redF() - y) / (2 * (1 - kr)))};
}

// Writes one pixel's colour (RGB or encoded) into a mapped frame.
using Put = std::function<void(QVideoFrame&, int x, int y, const QColor&, const Yuv&)>;

uchar* At(QVideoFrame& f, int plane, int row, int offset) {
    return f.bits(plane) + row * f.bytesPerLine(plane) + offset;
}

// Luma in plane 0; a U and a V sample per 2x2 pixels at byte uAt / vAt of every `step` bytes.
Put Yuv420(int uPlane, int vPlane, int uAt, int vAt, int step) {
    return [=](QVideoFrame& f, int x, int y, const QColor&, const Yuv& s) {
        *At(f, 0, y, x) = s.y;
        *At(f, uPlane, y / 2, x / 2 * step + uAt) = s.u;
        *At(f, vPlane, y / 2, x / 2 * step + vAt) = s.v;
    };
}

// Two pixels in four bytes: the first luma at byte y0, the second two bytes on.
Put Packed422(int y0, int uAt, int vAt) {
    return [=](QVideoFrame& f, int x, int y, const QColor&, const Yuv& s) {
        uchar* pair = At(f, 0, y, x / 2 * 4);
        pair[y0 + x % 2 * 2] = s.y;
        pair[uAt] = s.u;
        pair[vAt] = s.v;
    };
}

// 10-bit samples in the high bits of 16-bit words: every byte gets the 8-bit value.
Put P010() {
    return [](QVideoFrame& f, int x, int y, const QColor&, const Yuv& s) {
        uchar* luma = At(f, 0, y, x * 2);
        uchar* uv = At(f, 1, y / 2, x / 2 * 4);
        luma[0] = luma[1] = s.y;
        uv[0] = uv[1] = s.u;
        uv[2] = uv[3] = s.v;
    };
}

// Blue, green, red, alpha in memory order.
Put Bgra() {
    return [](QVideoFrame& f, int x, int y, const QColor& c, const Yuv&) {
        *reinterpret_cast<QRgb*>(At(f, 0, y, x * 4)) = c.rgb();  // 0xAARRGGBB, little-endian
    };
}

Format Of(Format::PixelFormat pixels, Format::ColorSpace space = Format::ColorSpace_BT601,
          Format::ColorRange range = Format::ColorRange_Video) {
    Format format(kFrameSize, pixels);
    format.setColorSpace(space);
    format.setColorRange(range);
    return format;
}

QVideoFrame MakeFrame(const Format& format, const Put& put) {
    QVideoFrame frame(format);
    if (!frame.map(QVideoFrame::WriteOnly))
        return {};
    for (int y = 0; y < kFrameSize.height(); ++y) {
        for (int x = 0; x < kFrameSize.width(); ++x)
            put(frame, x, y, ColourAt(x, y),
                Encode(ColourAt(x, y), format.colorSpace(), format.colorRange()));
    }
    frame.unmap();
    return frame;
}

// Empty when `image` shows the picture in `picture` and black around it. Scaled, only block
// centres count: smooth scaling blends block edges.
QString Mismatch(const QImage& image, const QRect& picture) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const double fx = double(x - picture.x()) * kFrameSize.width() / picture.width();
            const double fy = double(y - picture.y()) * kFrameSize.height() / picture.height();
            const double bx = std::fmod(fx, kBlock), by = std::fmod(fy, kBlock);
            const bool inside = picture.contains(x, y);
            if (inside && picture.size() != kFrameSize && (bx < 1 || bx > 3 || by < 1 || by > 3))
                continue;
            const QColor want = inside ? ColourAt(int(fx), int(fy)) : QColor(Qt::black);
            if (!Near(image.pixelColor(x, y), want))
                return QString("pixel %1,%2").arg(x).arg(y);
        }
    }
    return {};
}

}  // namespace

Q_DECLARE_METATYPE(Put)

class TestVideoWindow : public QObject {
    Q_OBJECT

private slots:
    // Each layout once, the colour matrices and ranges riding on some, at the frame's size;
    // then one frame fitted into other windows.
    void paintsFramesFittedWithBars_data() {
        QTest::addColumn<Format>("format");
        QTest::addColumn<Put>("put");
        QTest::addColumn<QSize>("window");
        QTest::addColumn<QRect>("picture");
        using F = Format;
        const Format i420 = Of(F::Format_YUV420P);
        const Put planar = Yuv420(1, 2, 0, 0, 1);
        const QSize same = kFrameSize;
        const QRect whole({}, kFrameSize);
        QTest::newRow("I420") << i420 << planar << same << whole;
        QTest::newRow("YV12, BT.709")
            << Of(F::Format_YV12, F::ColorSpace_BT709) << Yuv420(2, 1, 0, 0, 1) << same << whole;
        QTest::newRow("NV12, full range")
            << Of(F::Format_NV12, F::ColorSpace_BT601, F::ColorRange_Full) << Yuv420(1, 1, 0, 1, 2)
            << same << whole;
        QTest::newRow("NV21") << Of(F::Format_NV21) << Yuv420(1, 1, 1, 0, 2) << same << whole;
        QTest::newRow("YUYV") << Of(F::Format_YUYV) << Packed422(0, 1, 3) << same << whole;
        QTest::newRow("UYVY, range unknown")
            << Of(F::Format_UYVY, F::ColorSpace_BT601, F::ColorRange_Unknown) << Packed422(1, 0, 2)
            << same << whole;
        QTest::newRow("BGRA") << Of(F::Format_BGRA8888) << Bgra() << same << whole;
        QTest::newRow("P010, left to the toolkit") << Of(F::Format_P010) << P010() << same << whole;
        QTest::newRow("wide: bars left, right")
            << i420 << planar << QSize(300, 100) << QRect(75, 0, 150, 100);
        QTest::newRow("tall: bars above, below")
            << i420 << planar << QSize(120, 200) << QRect(0, 60, 120, 80);
        QTest::newRow("cleared: black") << i420 << planar << QSize(300, 100) << QRect();
    }
    void paintsFramesFittedWithBars() {
        QFETCH(Format, format);
        QFETCH(Put, put);
        QFETCH(QSize, window);
        QFETCH(QRect, picture);
        const QVideoFrame frame = MakeFrame(format, put);
        CVideoWindow view;
        view.resize(window);
        view.videoSink()->setVideoFrame(frame);
        if (picture.isNull())
            view.Clear();
        const QImage shot = view.grab().toImage();
        QCOMPARE(shot.size(), window);
        const QString mismatch = Mismatch(shot, picture);
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
        // The toolkit's own converter, which knows one colour matrix only, checks our frames.
        if (format.colorSpace() != Format::ColorSpace_BT709 &&
            format.colorRange() != Format::ColorRange_Full)
            QVERIFY2(Mismatch(frame.toImage(), {{}, kFrameSize}).isEmpty(), "toolkit");
    }
};

QTEST_MAIN(TestVideoWindow)
#include "test_video_window.moc"
