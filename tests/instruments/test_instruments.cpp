#include <QPainter>
#include <QTest>

#include <cstring>
#include <string>
#include <vector>

#include "app/message.h"
#include "instruments/instrument_font.h"
#include "instruments/speedo_meter.h"
#include "resources/resource_ids.h"
#include "track/track_sample.h"

Q_DECLARE_METATYPE(QPoint)

namespace {

// Entries linked in order; values as the caller sets them afterwards.
std::vector<TrackEntry> MakeTrack(int n) {
    std::vector<TrackEntry> track(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        std::memset(&track[i], 0, sizeof(TrackEntry));
        track[i].index = i;
        track[i].next = i + 1 < n ? &track[i + 1] : nullptr;
    }
    return track;
}

QImage Render(CSpeedoMeter& meter) {
    return meter.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QImage Face(int id) {
    return QImage(BitmapPath(id)).convertToFormat(QImage::Format_RGB32);
}

// What the box should show: the text in the instruments' font over the given picture.
QImage WithText(QImage picture, const QRect& box, int flags, int height, const QColor& colour,
                const QString& text) {
    QPainter p(&picture);
    p.setClipRect(box);
    p.setFont(InstrumentFont(height));
    p.setPen(colour);
    p.drawText(box, flags | Qt::TextSingleLine, text);
    return picture;
}

bool SameBox(const QImage& a, const QImage& b, QRect box) {
    box &= a.rect();
    return a.copy(box) == b.copy(box);
}

const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);
const QColor kBlue(0, 0, 255);

}  // namespace

class TestInstruments : public QObject {
    Q_OBJECT

    std::vector<std::string> messages_;

    void Setup(CSpeedoMeter& m, InstrumentMode mode, int face) {
        m.SetMode(mode);
        m.SetFaceBitmap(face);
        m.resize(m.sizeHint());
    }

private slots:
    void initTestCase() {
        RegisterInstrumentFont();
        SetMessageHandler(
            [this](const std::string& text, const std::string&) { messages_.push_back(text); });
    }
    void init() { messages_.clear(); }

    void needleTip_data() {
        QTest::addColumn<bool>("hasEntry");
        QTest::addColumn<double>("speed");
        QTest::addColumn<QPoint>("tip");
        QTest::addColumn<QPoint>("beyond");
        QTest::newRow("no entry: start angle")
            << false << 0.0 << QPoint(44, 139) << QPoint(42, 140);
        QTest::newRow("120 km/h: straight up")
            << true << 120.0 << QPoint(105, 35) << QPoint(105, 33);
        QTest::newRow("240 km/h: end of scale")
            << true << 240.9 << QPoint(165, 140) << QPoint(167, 141);
        QTest::newRow("300 km/h: past the end")
            << true << 300.0 << QPoint(104, 174) << QPoint(104, 176);
    }
    void needleTip() {
        QFETCH(bool, hasEntry);
        QFETCH(double, speed);
        QFETCH(QPoint, tip);
        QFETCH(QPoint, beyond);
        auto track = MakeTrack(1);
        track[0].sample.speed = speed;
        CSpeedoMeter m;
        Setup(m, Speedometer, 1159);
        m.SetNeedleWidth(1);
        const QColor needle(0, 255, 255);
        m.SetNeedleColor(0xFFFF00u);  // 0x00BBGGRR
        m.SetCurrentSample(hasEntry ? track.data() : nullptr);
        const QImage image = Render(m);
        QCOMPARE(image.pixelColor(105, 105), needle);
        QCOMPARE(image.pixelColor(tip), needle);
        QVERIFY(image.pixelColor(beyond) != needle);
    }

    void speedReadout_data() {
        QTest::addColumn<bool>("hasEntry");
        QTest::addColumn<double>("speed");
        QTest::addColumn<QString>("text");
        QTest::newRow("no entry") << false << 55.0 << "0/0";
        QTest::newRow("fraction truncated") << true << 100.9 << "100/63";
        QTest::newRow("mph truncated") << true << 99.0 << "99/62";
    }
    void speedReadout() {
        QFETCH(bool, hasEntry);
        QFETCH(double, speed);
        QFETCH(QString, text);
        auto track = MakeTrack(1);
        track[0].sample.speed = speed;
        CSpeedoMeter m;
        Setup(m, Speedometer, 1159);
        m.SetCurrentSample(hasEntry ? track.data() : nullptr);
        const QRect box(82, 152, 50, 30);
        const QImage expected =
            WithText(Face(1159), box, Qt::AlignLeft | Qt::AlignTop, 22, kRed, text);
        QVERIFY(SameBox(Render(m), expected, box));
    }

    void speedometerFollowsClientSize() {
        auto track = MakeTrack(1);
        track[0].sample.speed = 120;
        CSpeedoMeter m;
        Setup(m, Speedometer, 1159);
        m.resize(150, 210);  // centre (75, 105), radius 50
        m.SetNeedleWidth(1);
        m.SetCurrentSample(track.data());
        const QImage image = Render(m);
        QCOMPARE(image.pixelColor(75, 55), QColor(Qt::black));
        QVERIFY(image.pixelColor(75, 53) != QColor(Qt::black));
    }

    void compassImage_data() {
        QTest::addColumn<bool>("hasEntry");
        QTest::addColumn<double>("course");
        QTest::addColumn<int>("image");
        QTest::newRow("no entry") << false << 200.0 << 1161;
        QTest::newRow("14.9 degrees") << true << 14.9 << 1161;
        QTest::newRow("15 degrees") << true << 15.0 << 1162;
        QTest::newRow("east") << true << 90.0 << 1167;
        QTest::newRow("359.99 degrees") << true << 359.99 << 1184;
        QTest::newRow("360 limited") << true << 360.0 << 1184;
        QTest::newRow("far past 360") << true << 1e12 << 1184;
        QTest::newRow("negative") << true << -40.0 << 1161;
    }
    void compassImage() {
        QFETCH(bool, hasEntry);
        QFETCH(double, course);
        QFETCH(int, image);
        auto track = MakeTrack(1);
        track[0].sample.dir = course;
        CSpeedoMeter m;
        Setup(m, Compass, 1161);
        m.SetCurrentSample(hasEntry ? track.data() : nullptr);
        QCOMPARE(Render(m), Face(image));
    }

    void gsensorXPositions_data() {
        QTest::addColumn<int>("entries");
        QTest::addColumn<int>("lastX");
        QTest::newRow("60 entries: step 6") << 60 << 389;
        QTest::newRow("361 entries: step 1") << 361 << 395;
        QTest::newRow("500 entries: clipped") << 500 << 470;
    }
    void gsensorXPositions() {
        QFETCH(int, entries);
        QFETCH(int, lastX);
        auto track = MakeTrack(entries);
        for (TrackEntry& e : track) {
            e.sample.y = 5;  // both other traces above the image
            e.sample.z = 5;
        }
        CSpeedoMeter m;
        Setup(m, GSensorChart, 1185);
        m.SetSampleList(track.data());
        const QImage image = Render(m);
        QCOMPARE(image.pixelColor(36, 65), kRed);
        if (lastX < image.width()) {
            QCOMPARE(image.pixelColor(lastX, 65), kRed);
            QVERIFY(image.pixelColor(lastX + 1, 65) != kRed);
        } else {
            QCOMPARE(image.pixelColor(image.width() - 1, 65), kRed);
        }
    }

    void gsensorSingleEntryShowsNoTrace() {
        auto track = MakeTrack(1);
        CSpeedoMeter m;
        Setup(m, GSensorChart, 1185);
        m.SetSampleList(track.data());
        QCOMPARE(Render(m).pixelColor(35, 65), kBlue);  // the axis, not a red dot
    }

    void gsensorValues_data() {
        QTest::addColumn<double>("g");
        QTest::addColumn<int>("y");
        QTest::newRow("0 g") << 0.0 << 65;
        QTest::newRow("+2 g") << 2.0 << 15;
        QTest::newRow("-2 g") << -2.0 << 115;
        QTest::newRow("-2.01 g truncates to the band") << -2.01 << 115;
        QTest::newRow("+0.5 g") << 0.5 << 53;
        QTest::newRow("+3 g off the image") << 3.0 << -10;
    }
    void gsensorValues() {
        QFETCH(double, g);
        QFETCH(int, y);
        auto track = MakeTrack(2);
        for (TrackEntry& e : track) {
            e.sample.x = g;
            e.sample.y = 5;
            e.sample.z = 5;
        }
        CSpeedoMeter m;
        Setup(m, GSensorChart, 1185);
        m.SetSampleList(track.data());
        const QImage image = Render(m);
        int redRows = 0;
        for (int row = 0; row < image.height(); ++row)
            redRows += image.pixelColor(100, row) == kRed;
        if (y < 0) {
            QCOMPARE(redRows, 0);
        } else {
            QCOMPARE(redRows, 1);
            QCOMPARE(image.pixelColor(100, y), kRed);
        }
    }

    void gsensorCursorAndReadout() {
        auto track = MakeTrack(60);
        track[42].sample.x = 0.5;
        track[42].sample.y = -1.25;
        track[42].sample.z = 1;
        CSpeedoMeter m;
        Setup(m, GSensorChart, 1185);
        m.SetSampleList(track.data());
        m.SetCurrentSample(&track[42]);
        const QImage image = Render(m);
        QCOMPARE(image.pixelColor(35 + 42 * 6, 20), kBlue);
        QCOMPARE(image.pixelColor(35 + 42 * 6, 110), kBlue);

        QImage expected = Face(1185);
        const int flags = Qt::AlignLeft | Qt::AlignTop;
        const struct {
            int top;
            QColor colour;
            const char* text;
        } lines[] = {{15, kRed, "x : 0.500"},
                     {35, kGreen, "y : -1.250"},
                     {55, kBlue, "z : 1.000"},
                     {75, QColor(255, 255, 255), "index : 42"}};
        for (const auto& l : lines)
            expected = WithText(expected, QRect(399, l.top, 100, 20), flags, 18, l.colour,
                                QString::fromLatin1(l.text));
        QVERIFY(SameBox(image, expected, QRect(399, 15, 100, 80)));
    }

    void gsensorWithoutRecording() {
        CSpeedoMeter m;
        Setup(m, GSensorChart, 1185);
        const QImage image = Render(m);
        QCOMPARE(image.pixelColor(35, 50), kBlue);
        QCOMPARE(image.pixelColor(300, 115), kBlue);
        QVERIFY(SameBox(image, Face(1185), QRect(396, 0, 74, 130)));  // no readout
        QVERIFY(SameBox(image, Face(1185), QRect(36, 16, 359, 99)));  // no traces, no cursor
    }

    void gsensorTrackReplaced() {
        auto first = MakeTrack(60);
        auto second = MakeTrack(60);
        for (TrackEntry& e : second) e.sample.x = 1;  // y 40
        CSpeedoMeter m;
        Setup(m, GSensorChart, 1185);
        m.SetSampleList(first.data());
        QCOMPARE(Render(m).pixelColor(200, 65), kBlue);  // z trace drawn last over x and y
        m.SetSampleList(second.data());
        QCOMPARE(Render(m).pixelColor(200, 40), kRed);
    }

    void satelliteBars_data() {
        QTest::addColumn<int>("snr");
        QTest::addColumn<bool>("used");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("40 used: green") << 40 << true << QColor(0, 255, 0);
        QTest::newRow("39 used: yellow-green") << 39 << true << QColor(217, 255, 0);
        QTest::newRow("30 used: yellow-green") << 30 << true << QColor(217, 255, 0);
        QTest::newRow("29 used: yellow") << 29 << true << QColor(255, 255, 0);
        QTest::newRow("19 used: orange") << 19 << true << QColor(255, 128, 0);
        QTest::newRow("9 used: red") << 9 << true << QColor(255, 0, 0);
        QTest::newRow("45 unused: grey") << 45 << false << QColor(128, 128, 128);
    }
    void satelliteBars() {
        QFETCH(int, snr);
        QFETCH(bool, used);
        QFETCH(QColor, colour);
        auto track = MakeTrack(1);
        TrackSample& s = track[0].sample;
        s.inview_no = 2;
        s.sats[1] = {7, used ? 1 : 0, 0, 0, snr};
        CSpeedoMeter m;
        Setup(m, SatelliteChart, 1186);
        m.SetCurrentSample(track.data());
        const QImage image = Render(m);
        const int left = 36 + 22;
        QCOMPARE(image.pixelColor(left, 114), colour);
        QCOMPARE(image.pixelColor(left, 115 - snr), colour);
        QVERIFY(image.pixelColor(left, 114 - snr) != colour);
        QVERIFY(image.pixelColor(left + 20, 114) != colour);
        QCOMPARE(image.pixelColor(left + 10, 115), kBlue);  // the axis stays visible
    }

    void satelliteLabels() {
        auto track = MakeTrack(1);
        TrackSample& s = track[0].sample;
        s.inview_no = 1;
        s.inuse_no = 1;
        s.valid = 1;
        s.sats[0] = {7, 1, 0, 0, 5};
        track[0].index = 12;
        CSpeedoMeter m;
        Setup(m, SatelliteChart, 1186);
        m.SetCurrentSample(track.data());
        const QImage image = Render(m);
        const QColor white(255, 255, 255);
        const int centred = Qt::AlignHCenter | Qt::AlignTop;
        QImage face = Face(1186);
        QVERIFY(SameBox(image, WithText(face, QRect(36, 90, 20, 20), centred, 18, white, "05"),
                        QRect(36, 90, 20, 20)));
        {
            QPainter p(&face);
            p.fillRect(36, 110, 20, 5, QColor(255, 0, 0));
        }
        QVERIFY(SameBox(image, WithText(face, QRect(36, 117, 20, 20), centred, 18, white, "07"),
                        QRect(36, 116, 20, 14)));
        QImage readout = Face(1186);
        const int left = Qt::AlignLeft | Qt::AlignTop;
        readout = WithText(readout, QRect(399, 15, 100, 20), left, 18, white, "in view : 01");
        readout = WithText(readout, QRect(399, 35, 100, 20), left, 18, white, "in use : 01");
        readout = WithText(readout, QRect(399, 55, 100, 20), left, 18, white, "index : 12");
        readout = WithText(readout, QRect(399, 75, 100, 20), left, 18, white, "valid : 1");
        QVERIFY(SameBox(image, readout, QRect(399, 15, 100, 80)));
    }

    void satellitesPastTheAxis() {
        auto track = MakeTrack(1);
        TrackSample& s = track[0].sample;
        s.inview_no = 17;
        for (int i = 0; i < 17; ++i) s.sats[i] = {i + 1, 1, 0, 0, 45};
        CSpeedoMeter m;
        Setup(m, SatelliteChart, 1186);
        m.SetCurrentSample(track.data());
        const QImage image = Render(m);
        QCOMPARE(image.pixelColor(36 + 22 * 16, 100), kGreen);
        QCOMPARE(image.pixelColor(36 + 22 * 16 + 19, 100), kGreen);
        QVERIFY(image.pixelColor(36 + 22 * 17, 100) != kGreen);
    }

    void satellitesNoneInViewOrNoEntry() {
        auto track = MakeTrack(1);
        CSpeedoMeter m;
        Setup(m, SatelliteChart, 1186);
        QImage image = Render(m);
        QVERIFY(SameBox(image, Face(1186), QRect(396, 0, 74, 130)));
        m.SetCurrentSample(track.data());
        image = Render(m);
        QVERIFY(SameBox(image, Face(1186), QRect(36, 16, 359, 99)));
        const QImage expected =
            WithText(Face(1186), QRect(399, 15, 100, 20), Qt::AlignLeft | Qt::AlignTop, 18,
                     Qt::white, "in view : 00");
        QVERIFY(SameBox(image, expected, QRect(399, 15, 100, 20)));
    }

    void missingFaceIsReportedOnEveryPaint() {
        auto track = MakeTrack(3);
        CSpeedoMeter m;
        m.SetMode(GSensorChart);
        m.SetFaceBitmap(4242);
        QCOMPARE(messages_, std::vector<std::string>{"Error loading bitmap with ID=4242"});
        m.resize(470, 130);
        m.SetSampleList(track.data());
        m.SetCurrentSample(&track[1]);
        const QImage image = Render(m);
        QCOMPARE(image.pixelColor(200, 65), QColor(Qt::black));
        QCOMPARE(messages_.size(), size_t(2));
        m.SetMode(Compass);
        m.SetFaceBitmap(4200);
        Render(m);
        QCOMPARE(messages_.back(), std::string("Error loading bitmap with ID=4200"));
    }
};

QTEST_MAIN(TestInstruments)
#include "test_instruments.moc"
