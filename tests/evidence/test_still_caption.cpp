#include <QTest>

#include <optional>

#include "evidence/still_caption.h"
#include "track/track.h"

namespace {

// A second of a log as the parser leaves it: NMEA-form position, km/h, degrees, g.
TrackSample Sample(int valid, double lat, double lon, double speed, double dir, double x, double y,
                   double z) {
    TrackSample s;
    InitSample(s);
    s.year = 113;
    s.month = 2;
    s.day = 4;
    s.hour = 16;
    s.minute = 5;
    s.second = 19;
    s.valid = valid;
    s.lat = lat;
    s.lon = lon;
    s.speed = speed;
    s.dir = dir;
    s.x = x;
    s.y = y;
    s.z = z;
    return s;
}

// Each line's fields joined by " | ".
QStringList Joined(const QList<QStringList>& lines) {
    QStringList joined;
    for (const QStringList& fields : lines) joined << fields.join(" | ");
    return joined;
}

QImage TestFrame(int width, int height) {
    QImage frame(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) frame.setPixel(x, y, qRgb(x % 256, y % 256, 128));
    }
    return frame;
}

bool RowHasInk(const QImage& image, int y) {
    for (int x = 0; x < image.width(); ++x) {
        if (image.pixel(x, y) != image.pixel(0, image.height() - 1))
            return true;
    }
    return false;
}

}  // namespace

class TestStillCaption : public QObject {
    Q_OBJECT

private slots:
    void lines_data() {
        QTest::addColumn<qint64>("clipMs");
        QTest::addColumn<std::optional<TrackSample>>("sample");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("no log: name and clip time")
            << qint64(3723456) << std::optional<TrackSample>()
            << QStringList{"REC0001.MOV | at 01:02:03.456"};
        QTest::newRow("fix north-west")
            << qint64(12500)
            << std::optional(Sample(1, 4046.1508, -11153.4617, 45.2, 90.0, 0.1, -0.2, 1.0))
            << QStringList{"REC0001.MOV | at 00:00:12.500",
                           "2013-03-04 16:05:19 UTC | 45.2 km/h (28.1 mph) | course 90.0\u00b0",
                           "40.769180, -111.891028 | |g| 1.02"};
        QTest::newRow("fix south-east, hard braking")
            << qint64(0)
            << std::optional(Sample(2, -3351.3, 15112.6, 100.0, 359.94, 0.05, -0.68, 0.98))
            << QStringList{"REC0001.MOV | at 00:00:00.000",
                           "2013-03-04 16:05:19 UTC | 100.0 km/h (62.1 mph) | course 359.9\u00b0",
                           "-33.855000, 151.210000 | |g| 1.19"};
        QTest::newRow("no fix") << qint64(1000) << std::optional(Sample(0, 0, 0, 0, 0, 0, 0, 0))
                                << QStringList{"REC0001.MOV | at 00:00:01.000",
                                               "2013-03-04 16:05:19 UTC | 0.0 km/h (0.0 mph) | "
                                               "course 0.0\u00b0",
                                               "no GPS fix | |g| 0.00"};
    }
    void lines() {
        QFETCH(qint64, clipMs);
        QFETCH(std::optional<TrackSample>, sample);
        QFETCH(QStringList, lines);
        QCOMPARE(Joined(StillCaptionLines({"REC0001.MOV", clipMs, sample})), lines);
    }

    // The frame stays as it was; below it a band with every text row, nothing cut off and
    // no empty space beyond the margins.
    void band_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("withSample");
        QTest::addColumn<int>("rows");
        QTest::newRow("wide frame, no log") << 1280 << false << 1;
        QTest::newRow("wide frame, log") << 1280 << true << 3;
        QTest::newRow("narrow frame, log wraps between fields") << 320 << true << 4;
        QTest::newRow("tiny frame, log widens the band") << 160 << true << 6;
    }
    void band() {
        QFETCH(int, width);
        QFETCH(bool, withSample);
        QFETCH(int, rows);
        const QImage frame = TestFrame(width, width * 9 / 16);
        StillCaption caption{"REC0001.MOV", 12500, std::nullopt};
        if (withSample)
            caption.sample = Sample(1, 4046.1508, -11153.4617, 45.2, 90.0, 0.1, -0.2, 1.0);
        const QImage still = DrawStillCaption(frame, caption);

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
};

QTEST_MAIN(TestStillCaption)
#include "test_still_caption.moc"
