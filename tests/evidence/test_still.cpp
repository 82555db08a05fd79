#include <QTest>

#include <optional>
#include <tuple>

#include "evidence/still_caption.h"
#include "evidence/still_frame.h"
#include "numbered_clip.h"
#include "track/track.h"

namespace {

// A second of a log as the parser leaves it, 2013-03-04 16:05:19: NMEA-form position, km/h,
// degrees, g.
TrackSample Sample(int valid, double lat, double lon, double speed, double dir, double x, double y,
                   double z) {
    TrackSample s;
    InitSample(s);
    std::tie(s.year, s.month, s.day, s.hour, s.minute, s.second) = std::tuple(113, 2, 4, 16, 5, 19);
    std::tie(s.valid, s.lat, s.lon, s.speed, s.dir, s.x, s.y, s.z) =
        std::tuple(valid, lat, lon, speed, dir, x, y, z);
    return s;
}

QImage TestFrame(int width, int height) {
    QImage frame(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) frame.setPixel(x, y, qRgb(x % 256, y % 256, 128));
    return frame;
}

bool RowHasInk(const QImage& image, int y) {
    for (int x = 0; x < image.width(); ++x)
        if (image.pixel(x, y) != image.pixel(0, image.height() - 1))
            return true;
    return false;
}

}  // namespace

class TestStill : public QObject {
    Q_OBJECT

private slots:
    void lines_data() {
        QTest::addColumn<qint64>("clipMs");
        QTest::addColumn<std::optional<TrackSample>>("sample");
        QTest::addColumn<QStringList>("lines");
        const QString date = "2013-03-04 16:05:19 UTC | ";
        QTest::newRow("no log: name and clip time")
            << qint64(3723456) << std::optional<TrackSample>()
            << QStringList{"REC0001.MOV | at 01:02:03.456"};
        QTest::newRow("fix north-west")
            << qint64(12500)
            << std::optional(Sample(1, 4046.1508, -11153.4617, 45.2, 90, 0.1, -0.2, 1))
            << QStringList{"REC0001.MOV | at 00:00:12.500",
                           date + "45.2 km/h (28.1 mph) | course 90.0\u00b0",
                           "40.769180, -111.891028 | |g| 1.02"};
        QTest::newRow("fix south-east, hard braking")
            << qint64(0)
            << std::optional(Sample(2, -3351.3, 15112.6, 100, 359.94, 0.05, -0.68, 0.98))
            << QStringList{"REC0001.MOV | at 00:00:00.000",
                           date + "100.0 km/h (62.1 mph) | course 359.9\u00b0",
                           "-33.855000, 151.210000 | |g| 1.19"};
        QTest::newRow("no fix") << qint64(1000) << std::optional(Sample(0, 0, 0, 0, 0, 0, 0, 0))
                                << QStringList{"REC0001.MOV | at 00:00:01.000",
                                               date + "0.0 km/h (0.0 mph) | course 0.0\u00b0",
                                               "no GPS fix | |g| 0.00"};
    }
    void lines() {
        QFETCH(qint64, clipMs);
        QFETCH(std::optional<TrackSample>, sample);
        QFETCH(QStringList, lines);
        QStringList joined;  // each line's fields joined by " | "
        for (const QStringList& fields : StillCaptionLines({"REC0001.MOV", clipMs, sample}))
            joined << fields.join(" | ");
        QCOMPARE(joined, lines);
    }

    // The frame stays as it was; below it a band with every text row, nothing cut off and
    // no empty space beyond the margins.
    void band_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("rows");
        QTest::newRow("wide frame") << 1280 << 3;
        QTest::newRow("narrow frame: wraps between fields") << 320 << 4;
        QTest::newRow("tiny frame: widens the band") << 160 << 6;
    }
    void band() {
        QFETCH(int, width);
        QFETCH(int, rows);
        const QImage frame = TestFrame(width, width * 9 / 16);
        const QImage still = DrawStillCaption(
            frame,
            {"REC0001.MOV", 12500, Sample(1, 4046.1508, -11153.4617, 45.2, 90.0, 0.1, -0.2, 1.0)});

        // Only a frame too narrow for one field widens the picture.
        QCOMPARE(still.width() > frame.width(), width < 200);
        QVERIFY(still.height() > frame.height());
        QCOMPARE(still.copy(0, 0, frame.width(), frame.height()), frame);
        const int top = frame.height();
        const int bottom = still.height() - 1;
        QVERIFY(!RowHasInk(still, top));
        QVERIFY(!RowHasInk(still, bottom));
        // Each text row leaves ink in its share of the band...
        const double share = double(still.height() - top) / rows;
        for (int row = 0; row < rows; ++row) {
            bool ink = false;
            for (int y = top + int(row * share); y < top + int((row + 1) * share); ++y)
                ink = ink || RowHasInk(still, y);
            QVERIFY2(ink, qPrintable(QString("text row %1 is empty").arg(row)));
        }
        // ...wraps rather than running off the right edge...
        for (int y = top; y <= bottom; ++y)
            QVERIFY2(still.pixel(still.width() - 2, y) == still.pixel(0, bottom),
                     qPrintable(QString::number(y)));
        // ...and the band ends a margin below the last one.
        int lastInk = bottom;
        while (!RowHasInk(still, lastInk)) --lastInk;
        QVERIFY2(bottom - lastInk < share / 2, qPrintable(QString::number(bottom - lastInk)));
    }

    // 25 frames a second, a key frame each second, B-frames between: the frame on screen at
    // a time is the one that began at or before it. Frame -1: no frame, and the error says why.
    void frameAtTime_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<int>("frame");
        QTest::addColumn<QString>("why");
        for (const char* clip : {"numbered.MOV", "numbered.ts"}) {
            const auto row = [clip](const char* what, qint64 ms, int frame, const char* why = "") {
                QTest::addRow("%s %s", clip, what) << kNumberedClips + clip << ms << frame << why;
            };
            row("last moment before a key frame", 999, 24);
            row("B-frame after a key frame", 1990, 49);
            row("last moment of the clip", 2999, 74);
            row("at the end", 3000, -1, "past the end");
            row("before the start", -1, -1, "before the start");
        }
        QTest::newRow("a log, not a clip")
            << QStringLiteral(VANTRAIL_SOURCE_DIR "/samples/REC0001.nmea") << qint64(0) << -1
            << "cannot decode";
    }
    void frameAtTime() {
        QFETCH(QString, path);
        QFETCH(qint64, ms);
        QFETCH(int, frame);
        QFETCH(QString, why);
        const StillFrame still = GrabStillFrame(path, ms);
        if (frame < 0) {
            QVERIFY(still.image.isNull());
            QVERIFY2(still.error.contains(why) && still.error.contains(path) &&
                         !still.error.contains('\n'),
                     qPrintable(still.error));
            return;
        }
        QVERIFY2(!still.image.isNull(), qPrintable(still.error));
        QCOMPARE(still.image.size(), QSize(kNumberedWidth, kNumberedHeight));
        QCOMPARE(FrameNumber(still.image), frame);
    }
};

QTEST_MAIN(TestStill)
#include "test_still.moc"
