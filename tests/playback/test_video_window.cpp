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

struct Yuv {
    int y, u, v;
};

// Encodes the way a camera's encoder does, from the colour space's luma weights.
Yuv Encode(const QColor& c, Format::ColorSpace space, Format::ColorRange range) {
    const double kr = space == Format::ColorSpace_BT709 ? 0.2126 : 0.299;
    const double kb = space == Format::ColorSpace_BT709 ? 0.0722 : 0.114;
    const double r = c.redF(), g = c.greenF(), b = c.blueF();
    const double y = kr * r + (1 - kr - kb) * g + kb * b;
    const double pb = (b - y) / (2 * (1 - kb));
    const double pr = (r - y) / (2 * (1 - kr));
    const bool full = range == Format::ColorRange_Full;
    const auto byte = [](double value) { return std::clamp(int(std::lround(value)), 0, 255); };
    return {byte(full ? 255 * y : 16 + 219 * y), byte(128 + (full ? 255 : 224) * pb),
            byte(128 + (full ? 255 : 224) * pr)};
}

// Writes one pixel's colour (RGB or encoded) into a mapped frame.
using Put = std::function<void(QVideoFrame&, int x, int y, const QColor&, const Yuv&)>;

Put Planar(int uPlane, int vPlane) {
    return [=](QVideoFrame& f, int x, int y, const QColor&, const Yuv& s) {
        f.bits(0)[y * f.bytesPerLine(0) + x] = uchar(s.y);
        f.bits(uPlane)[(y / 2) * f.bytesPerLine(uPlane) + x / 2] = uchar(s.u);
        f.bits(vPlane)[(y / 2) * f.bytesPerLine(vPlane) + x / 2] = uchar(s.v);
    };
}

Put SemiPlanar(int uOffset, int vOffset) {
    return [=](QVideoFrame& f, int x, int y, const QColor&, const Yuv& s) {
        f.bits(0)[y * f.bytesPerLine(0) + x] = uchar(s.y);
        uchar* uv = f.bits(1) + (y / 2) * f.bytesPerLine(1) + (x / 2) * 2;
        uv[uOffset] = uchar(s.u);
        uv[vOffset] = uchar(s.v);
    };
}

// Two pixels in four bytes; `order` names the bytes, e.g. "YUYV".
Put Packed422(const char* order) {
    return [=](QVideoFrame& f, int x, int y, const QColor&, const Yuv& s) {
        uchar* pair = f.bits(0) + y * f.bytesPerLine(0) + (x / 2) * 4;
        int luma = x % 2;
        for (int i = 0; i < 4; ++i) {
            if (order[i] == 'Y' && luma-- == 0)
                pair[i] = uchar(s.y);
            else if (order[i] == 'U')
                pair[i] = uchar(s.u);
            else if (order[i] == 'V')
                pair[i] = uchar(s.v);
        }
    };
}

// 10-bit samples in the high bits of 16-bit words: every byte gets the 8-bit value.
Put P010() {
    return [](QVideoFrame& f, int x, int y, const QColor&, const Yuv& s) {
        uchar* luma = f.bits(0) + y * f.bytesPerLine(0) + x * 2;
        luma[0] = luma[1] = uchar(s.y);
        uchar* uv = f.bits(1) + (y / 2) * f.bytesPerLine(1) + (x / 2) * 4;
        uv[0] = uv[1] = uchar(s.u);
        uv[2] = uv[3] = uchar(s.v);
    };
}

// One pixel in four bytes; `order` names the bytes, e.g. "BGRA".
Put Rgb32(const char* order) {
    return [=](QVideoFrame& f, int x, int y, const QColor& c, const Yuv&) {
        uchar* pixel = f.bits(0) + y * f.bytesPerLine(0) + x * 4;
        for (int i = 0; i < 4; ++i) {
            const char n = order[i];
            pixel[i] = uchar(n == 'R' ? c.red() : n == 'G' ? c.green() : n == 'B' ? c.blue() : 255);
        }
    };
}

QVideoFrame MakeFrame(Format::PixelFormat pixelFormat, Format::ColorSpace space,
                      Format::ColorRange range, const Put& put) {
    Format format(kFrameSize, pixelFormat);
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

// Empty when every pixel is within a few levels of the picture (rounding of 8-bit samples).
QString PictureMismatch(const QImage& image) {
    if (image.size() != kFrameSize)
        return QString("size %1x%2").arg(image.width()).arg(image.height());
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor got = image.pixelColor(x, y);
            const QColor want = ColourAt(x, y);
            if (std::abs(got.red() - want.red()) > 3 || std::abs(got.green() - want.green()) > 3 ||
                std::abs(got.blue() - want.blue()) > 3 || got.alpha() != 255)
                return QString("pixel %1,%2 is %3, not %4")
                    .arg(x)
                    .arg(y)
                    .arg(got.name(QColor::HexArgb), want.name());
        }
    }
    return {};
}

}  // namespace

Q_DECLARE_METATYPE(Put)

class TestVideoWindow : public QObject {
    Q_OBJECT

private slots:
    void convertsFrames_data() {
        QTest::addColumn<Format::PixelFormat>("pixelFormat");
        QTest::addColumn<Format::ColorSpace>("space");
        QTest::addColumn<Format::ColorRange>("range");
        QTest::addColumn<Put>("put");
        const auto bt601 = Format::ColorSpace_BT601;
        const auto video = Format::ColorRange_Video;
        QTest::newRow("I420") << Format::Format_YUV420P << bt601 << video << Planar(1, 2);
        QTest::newRow("YV12") << Format::Format_YV12 << bt601 << video << Planar(2, 1);
        QTest::newRow("NV12") << Format::Format_NV12 << bt601 << video << SemiPlanar(0, 1);
        QTest::newRow("NV21") << Format::Format_NV21 << bt601 << video << SemiPlanar(1, 0);
        QTest::newRow("YUYV") << Format::Format_YUYV << bt601 << video << Packed422("YUYV");
        QTest::newRow("UYVY") << Format::Format_UYVY << bt601 << video << Packed422("UYVY");
        QTest::newRow("I420, BT.709")
            << Format::Format_YUV420P << Format::ColorSpace_BT709 << video << Planar(1, 2);
        QTest::newRow("NV12, full range")
            << Format::Format_NV12 << bt601 << Format::ColorRange_Full << SemiPlanar(0, 1);
        QTest::newRow("I420, range unknown")
            << Format::Format_YUV420P << bt601 << Format::ColorRange_Unknown << Planar(1, 2);
        QTest::newRow("BGRA") << Format::Format_BGRA8888 << bt601 << video << Rgb32("BGRA");
        QTest::newRow("XRGB") << Format::Format_XRGB8888 << bt601 << video << Rgb32("XRGB");
        QTest::newRow("RGBX") << Format::Format_RGBX8888 << bt601 << video << Rgb32("RGBX");
        // Not converted here: left to the toolkit.
        QTest::newRow("P010") << Format::Format_P010 << bt601 << video << P010();
    }
    void convertsFrames() {
        QFETCH(Format::PixelFormat, pixelFormat);
        QFETCH(Format::ColorSpace, space);
        QFETCH(Format::ColorRange, range);
        QFETCH(Put, put);
        const QVideoFrame frame = MakeFrame(pixelFormat, space, range, put);
        QVERIFY(frame.isValid());
        const QString mismatch = PictureMismatch(VideoFrameImage(frame));
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
        // The toolkit's own converter reads the frame the same way (it knows one colour
        // matrix only), which checks the frames this test writes.
        if (space == Format::ColorSpace_BT601 && range != Format::ColorRange_Full) {
            const QString reference = PictureMismatch(frame.toImage());
            QVERIFY2(reference.isEmpty(), qPrintable("toolkit: " + reference));
        }
    }

    void paintsFittedWithBars_data() {
        QTest::addColumn<QSize>("windowSize");
        QTest::addColumn<QRect>("picture");
        QTest::addColumn<bool>("cleared");
        QTest::newRow("wide window: bars left and right")
            << QSize(300, 100) << QRect(75, 0, 150, 100) << false;
        QTest::newRow("tall window: bars above and below")
            << QSize(120, 200) << QRect(0, 60, 120, 80) << false;
        QTest::newRow("cleared: black") << QSize(300, 100) << QRect() << true;
    }
    void paintsFittedWithBars() {
        QFETCH(QSize, windowSize);
        QFETCH(QRect, picture);
        QFETCH(bool, cleared);
        CVideoWindow window;
        window.resize(windowSize);
        window.videoSink()->setVideoFrame(MakeFrame(Format::Format_YUV420P,
                                                    Format::ColorSpace_BT601,
                                                    Format::ColorRange_Video, Planar(1, 2)));
        if (cleared)
            window.Clear();
        const QImage shot = window.grab().toImage();
        QCOMPARE(shot.size(), windowSize);
        for (int y = 0; y < shot.height(); y += 5) {
            for (int x = 0; x < shot.width(); x += 5) {
                const QPoint at(x, y);
                // Block centres stay pure under smooth scaling; block edges blend.
                const QPointF inFrame(
                    double(x - picture.x()) * kFrameSize.width() / picture.width(),
                    double(y - picture.y()) * kFrameSize.height() / picture.height());
                const double fx = std::fmod(inFrame.x(), kBlock);
                const double fy = std::fmod(inFrame.y(), kBlock);
                QColor want = Qt::black;
                if (picture.contains(at)) {
                    if (fx < 1 || fx > 3 || fy < 1 || fy > 3)
                        continue;
                    want = ColourAt(int(inFrame.x()), int(inFrame.y()));
                }
                const QColor got = shot.pixelColor(at);
                QVERIFY2(
                    std::abs(got.red() - want.red()) <= 3 &&
                        std::abs(got.green() - want.green()) <= 3 &&
                        std::abs(got.blue() - want.blue()) <= 3,
                    qPrintable(
                        QString("%1,%2 is %3, not %4").arg(x).arg(y).arg(got.name(), want.name())));
            }
        }
    }
};

QTEST_MAIN(TestVideoWindow)
#include "test_video_window.moc"
