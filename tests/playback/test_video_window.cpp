#include <QTest>
#include <QVideoFrame>
#include <QVideoSink>

#include <array>
#include <cmath>
#include <functional>

#include "playback/video_window.h"

namespace {

using F = QVideoFrameFormat;

// Every test frame: two rows of three 4x4 blocks, so that no chroma sample spans two hues.
constexpr int kBlock = 4;
const QColor kColours[2][3] = {{QColor(255, 0, 0), QColor(0, 255, 0), QColor(0, 0, 255)},
                               {QColor(255, 255, 255), QColor(0, 0, 0), QColor(200, 120, 40)}};
const QSize kFrameSize(3 * kBlock, 2 * kBlock);

// The black block has grey odd columns: two pixels of one chroma sample differ in luma only.
bool Striped(int x, int y) {
    return x / kBlock == 1 && y / kBlock == 1;
}
QColor ColourAt(int x, int y) {
    return Striped(x, y) && x % 2 ? QColor(90, 90, 90) : kColours[y / kBlock][x / kBlock];
}

using Yuv = std::array<uchar, 3>;

// Encodes the way a camera's encoder does, from the colour space's luma weights.
Yuv Encode(const QColor& c, F::ColorSpace space, F::ColorRange range) {
    const double kr = space == F::ColorSpace_BT709 ? 0.2126 : 0.299;
    const double kb = space == F::ColorSpace_BT709 ? 0.0722 : 0.114;
    const double y = kr * c.redF() + (1 - kr - kb) * c.greenF() + kb * c.blueF();
    const bool full = range == F::ColorRange_Full;
    const auto byte = [](double value) { return uchar(std::clamp(std::lround(value), 0L, 255L)); };
    return Yuv{byte(full ? 255 * y : 16 + 219 * y),
               byte(128 + (full ? 255 : 224) * (c.blueF() - y) / (2 * (1 - kb))),
               byte(128 + (full ? 255 : 224) * (c.redF() - y) / (2 * (1 - kr)))};
}

// Writes one pixel's colour (RGB or encoded) into a mapped frame.
using Put = std::function<void(QVideoFrame&, int x, int y, const QColor&, const Yuv&)>;

uchar* At(QVideoFrame& f, int plane, int row, int offset) {
    return f.bits(plane) + row * f.bytesPerLine(plane) + offset;
}

// Luma in plane 0, U and V per 2x2 pixels at byte uAt / vAt of every `step`. Each byte of a
// `size`-byte sample gets the 8-bit value: 10 bits in the high bits of 16 read the same.
Put Yuv420(int uPlane, int vPlane, int uAt, int vAt, int step, int size = 1) {
    return [=](QVideoFrame& f, int x, int y, const QColor&, const Yuv& s) {
        for (int i = 0; i < size; ++i) {
            At(f, 0, y, x * size)[i] = s[0];
            At(f, uPlane, y / 2, x / 2 * step + uAt)[i] = s[1];
            At(f, vPlane, y / 2, x / 2 * step + vAt)[i] = s[2];
        }
    };
}

// Two pixels in four bytes: the first luma at byte y0, the second two bytes on.
Put Packed422(int y0, int uAt, int vAt) {
    return [=](QVideoFrame& f, int x, int y, const QColor&, const Yuv& s) {
        uchar* pair = At(f, 0, y, x / 2 * 4);
        pair[y0 + x % 2 * 2] = s[0];
        pair[uAt] = s[1];
        pair[vAt] = s[2];
    };
}

// Blue, green, red, alpha in memory order.
Put Bgra() {
    return [](QVideoFrame& f, int x, int y, const QColor& c, const Yuv&) {
        *reinterpret_cast<QRgb*>(At(f, 0, y, x * 4)) = c.rgb();  // 0xAARRGGBB, little-endian
    };
}

QVideoFrame Frame(F::PixelFormat pixels, const Put& put, F::ColorRange range = F::ColorRange_Video,
                  F::ColorSpace space = F::ColorSpace_BT601) {
    F format(kFrameSize, pixels);
    format.setColorSpace(space);
    format.setColorRange(range);
    QVideoFrame frame(format);
    if (!frame.map(QVideoFrame::WriteOnly))
        return {};
    for (int y = 0; y < kFrameSize.height(); ++y) {
        for (int x = 0; x < kFrameSize.width(); ++x)
            put(frame, x, y, ColourAt(x, y), Encode(ColourAt(x, y), space, range));
    }
    frame.unmap();
    return frame;
}

// Empty when `image` shows the picture in `picture` and black around it. Scaled, only centres
// of plain blocks count: smooth scaling blends edges and stripes.
QString Mismatch(const QImage& image, const QRect& picture) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const double fx = double(x - picture.x()) * kFrameSize.width() / picture.width();
            const double fy = double(y - picture.y()) * kFrameSize.height() / picture.height();
            const double bx = std::fmod(fx, kBlock), by = std::fmod(fy, kBlock);
            const bool inside = picture.contains(x, y);
            if (inside && picture.size() != kFrameSize &&
                (bx < 1 || bx > 3 || by < 1 || by > 3 || Striped(int(fx), int(fy))))
                continue;
            const QColor want = inside ? ColourAt(int(fx), int(fy)) : QColor(Qt::black);
            const QColor got = image.pixelColor(x, y);
            // Within a few levels: the rounding of 8-bit samples.
            if (std::abs(got.red() - want.red()) > 3 || std::abs(got.green() - want.green()) > 3 ||
                std::abs(got.blue() - want.blue()) > 3 || got.alpha() != 255)
                return QString("pixel %1,%2").arg(x).arg(y);
        }
    }
    return {};
}

}  // namespace

class TestVideoWindow : public QObject {
    Q_OBJECT

private slots:
    // Each layout once, the colour matrices and ranges riding on some, at the frame's size;
    // then one frame fitted into other windows.
    void paintsFramesFittedWithBars_data() {
        QTest::addColumn<QVideoFrame>("frame");
        QTest::addColumn<QSize>("window");
        QTest::addColumn<QRect>("picture");
        const auto row = [](const char* name, const QVideoFrame& frame, QSize window = kFrameSize,
                            QRect picture = {{}, kFrameSize}) {
            QTest::newRow(name) << frame << window << picture;
        };
        const QVideoFrame i420 = Frame(F::Format_YUV420P, Yuv420(1, 2, 0, 0, 1));
        row("I420", i420);
        row("YV12, BT.709",
            Frame(F::Format_YV12, Yuv420(2, 1, 0, 0, 1), F::ColorRange_Video, F::ColorSpace_BT709));
        row("NV12, full range", Frame(F::Format_NV12, Yuv420(1, 1, 0, 1, 2), F::ColorRange_Full));
        row("NV21", Frame(F::Format_NV21, Yuv420(1, 1, 1, 0, 2)));
        row("YUYV", Frame(F::Format_YUYV, Packed422(0, 1, 3)));
        row("UYVY, range unknown",
            Frame(F::Format_UYVY, Packed422(1, 0, 2), F::ColorRange_Unknown));
        row("BGRA", Frame(F::Format_BGRA8888, Bgra()));
        row("P010, left to the toolkit", Frame(F::Format_P010, Yuv420(1, 1, 0, 2, 4, 2)));
        row("wide: bars left, right", i420, QSize(300, 100), QRect(75, 0, 150, 100));
        row("tall: bars above, below", i420, QSize(120, 200), QRect(0, 60, 120, 80));
        row("cleared: black", i420, QSize(300, 100), QRect());
    }
    void paintsFramesFittedWithBars() {
        QFETCH(QVideoFrame, frame);
        QFETCH(QSize, window);
        QFETCH(QRect, picture);
        CVideoWindow view;
        view.resize(window);
        view.videoSink()->setVideoFrame(frame);
        if (picture.isNull())
            view.Clear();
        const QImage shot = view.grab().toImage();
        QCOMPARE(shot.size(), window);
        QCOMPARE(Mismatch(shot, picture), QString());
        // The toolkit's own converter, which knows one colour matrix only, checks our frames.
        const F format = frame.surfaceFormat();
        if (format.colorSpace() != F::ColorSpace_BT709 && format.colorRange() != F::ColorRange_Full)
            QCOMPARE(Mismatch(frame.toImage(), {{}, kFrameSize}), QString());
    }
};

QTEST_MAIN(TestVideoWindow)
#include "test_video_window.moc"
