#include <QPainter>
#include <QTest>

#include <cstring>
#include <vector>

#include "instruments/instrument_font.h"
#include "instruments/speedo_meter.h"
#include "resources/resource_ids.h"
#include "track/track_sample.h"

namespace {

std::vector<TrackEntry> MakeTrack(int n) {
    std::vector<TrackEntry> track(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        std::memset(&track[i], 0, sizeof(TrackEntry));
        track[i].index = i;
        track[i].next = i + 1 < n ? &track[i + 1] : nullptr;
    }
    return track;
}

struct Meter : CSpeedoMeter {
    Meter(InstrumentMode mode, int face) {
        SetMode(mode);
        SetFaceBitmap(face);
        resize(sizeHint());
    }
    QImage Render() { return grab().toImage().convertToFormat(QImage::Format_RGB32); }
};

// A NaN value in a table stands for no current entry.
const double kNoEntry = qQNaN();
const TrackEntry* EntryOrNone(const std::vector<TrackEntry>& track) {
    return qIsNaN(track[0].sample.speed) || qIsNaN(track[0].sample.dir) ? nullptr : track.data();
}

QImage Face(int id) {
    return QImage(BitmapPath(id)).convertToFormat(QImage::Format_RGB32);
}

// The text in the instruments' font over the given picture.
QImage WithText(QImage picture, const QRect& box, Qt::Alignment flags, int height,
                const QColor& colour, const QString& text) {
    QPainter p(&picture);
    p.setPen(colour);
    DrawInstrumentText(p, InstrumentFont(height), box, flags, text);
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

private slots:
    void initTestCase() { RegisterInstrumentFont(); }

    void speedometer_data() {
        QTest::addColumn<double>("speed");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QPoint>("tip");
        QTest::addColumn<QString>("text");
        const QSize face(210, 210);
        QTest::newRow("no entry") << kNoEntry << face << QPoint(44, 139) << "0/0";
        QTest::newRow("99: mph truncated") << 99.0 << face << QPoint() << "99/62";
        QTest::newRow("240: end of scale") << 240.9 << face << QPoint(165, 140) << "240/151";
        QTest::newRow("300: past the end, over the text")
            << 300.0 << face << QPoint(104, 174) << "";
    }
    void speedometer() {
        QFETCH(double, speed);
        QFETCH(QSize, size);
        QFETCH(QPoint, tip);
        QFETCH(QString, text);
        auto track = MakeTrack(1);
        track[0].sample.speed = speed;
        Meter m(InstrumentMode::Speedometer, 1159);
        m.resize(size);
        m.SetNeedleWidth(1);
        m.SetNeedleColor(0xFFFF00u);  // 0x00BBGGRR
        m.SetCurrentSample(EntryOrNone(track));
        const QImage image = m.Render();
        const QColor needle(0, 255, 255);
        const QPoint centre(size.width() / 2, size.height() / 2);
        QCOMPARE(image.pixelColor(centre), needle);
        if (!tip.isNull()) {  // the needle ends there: two pixels further on is face
            const QPointF along = QPointF(tip - centre) / QLineF(centre, tip).length();
            QCOMPARE(image.pixelColor(tip), needle);
            QVERIFY(image.pixelColor(tip + (2 * along).toPoint()) != needle);
        }
        const QRect box(82, 152, 50, 30);
        if (!text.isEmpty())
            QVERIFY(SameBox(image, WithText(Face(1159), box, Qt::AlignLeft, 22, kRed, text), box));
    }

    void compassImage_data() {
        QTest::addColumn<double>("course");
        QTest::addColumn<int>("image");
        QTest::newRow("no entry") << kNoEntry << 1161;
        QTest::newRow("15 degrees") << 15.0 << 1162;
        QTest::newRow("360 limited") << 360.0 << 1184;
    }
    void compassImage() {
        QFETCH(double, course);
        QFETCH(int, image);
        auto track = MakeTrack(1);
        track[0].sample.dir = course;
        Meter m(InstrumentMode::Compass, 1161);
        m.SetCurrentSample(EntryOrNone(track));
        QCOMPARE(m.Render(), Face(image));
    }
    void gsensorTrace_data() {
        QTest::addColumn<int>("entries");
        QTest::addColumn<double>("g");
        QTest::addColumn<int>("y");
        QTest::addColumn<int>("lastX");
        QTest::newRow("1 entry: a trace of no length") << 1 << 0.0 << 65 << 35;
        QTest::newRow("500 entries: squeezed into the plot") << 500 << 0.0 << 65 << 395;
        QTest::newRow("+2 g") << 2 << 2.0 << 15 << 215;
        QTest::newRow("-2.01 g truncates to the band") << 2 << -2.01 << 115 << 215;
    }
    void gsensorTrace() {  // the x trace alone: y and z lie at +1 g
        QFETCH(int, entries);
        QFETCH(double, g);
        QFETCH(int, y);
        QFETCH(int, lastX);
        auto stale = MakeTrack(entries);
        auto track = MakeTrack(entries);
        for (TrackEntry& e : track) {
            e.sample.x = g;
            e.sample.y = e.sample.z = 1;
        }
        Meter m(InstrumentMode::GSensorChart, 1185);
        m.SetSampleList(stale.data());
        m.Render();  // the traces of a replaced list must not linger
        m.SetSampleList(track.data());
        const QImage image = m.Render();
        for (int x = 35; x < image.width() && y >= 0; ++x)
            QCOMPARE(image.pixelColor(x, y) == kRed, entries > 1 && x <= lastX);
        for (int row = 0; row < image.height(); ++row)
            QCOMPARE(image.pixelColor(100, row) == kRed, entries > 1 && row == y);
    }

    // However long the log and whatever its values, the traces and the cursor at its last
    // entry stay inside the plot's frame; nothing outside it changes.
    void gsensorStaysInItsFrame_data() {
        QTest::addColumn<int>("entries");
        QTest::addColumn<int>("cursorX");
        QTest::newRow("1 s") << 1 << 35;
        QTest::newRow("24 h") << 86400 << 395;
    }
    void gsensorStaysInItsFrame() {
        QFETCH(int, entries);
        QFETCH(int, cursorX);
        auto track = MakeTrack(entries);
        for (TrackEntry& e : track) {
            e.sample.x = e.index % 2 ? 1e6 : -1e6;
            e.sample.y = qInf();
            e.sample.z = qQNaN();
        }
        Meter m(InstrumentMode::GSensorChart, 1185), empty(InstrumentMode::GSensorChart, 1185);
        m.SetSampleList(track.data());
        QImage image = m.Render();
        const QImage without = empty.Render();
        const QRect frame(35, 15, 361, 101);
        // Values past the band lie on its edges, x swinging between them in every column.
        QCOMPARE(image.pixelColor(200, 65) == kRed, entries > 1);
        QCOMPARE(image.pixelColor(200, 15) == kGreen, entries > 1);
        QPainter(&image).fillRect(frame, Qt::black);
        QImage reference = without;
        QPainter(&reference).fillRect(frame, Qt::black);
        QCOMPARE(image, reference);

        m.SetCurrentSample(&track.back());
        QCOMPARE(m.Render().pixelColor(cursorX, 40), kBlue);
    }

    void satelliteBars_data() {
        QTest::addColumn<int>("inView");
        QTest::addColumn<int>("snr");
        QTest::addColumn<bool>("used");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("40 used: green") << 2 << 40 << true << kGreen;
        QTest::newRow("45 unused: grey") << 2 << 45 << false << QColor(128, 128, 128);
        QTest::newRow("17 in view: past the axis") << 17 << 45 << true << kGreen;
    }
    void satelliteBars() {
        QFETCH(int, inView);
        QFETCH(int, snr);
        QFETCH(bool, used);
        QFETCH(QColor, colour);
        auto track = MakeTrack(1);
        track[0].sample.inview_no = inView;
        for (int i = 0; i < inView; ++i) track[0].sample.sats[i] = {i + 1, used, 0, 0, snr};
        Meter m(InstrumentMode::SatelliteChart, 1186);
        m.SetCurrentSample(track.data());
        const QImage image = m.Render();
        const int left = 36 + 22 * (inView - 1);  // the last bar spans left to left + 20
        QCOMPARE(image.pixelColor(left + 19, 114), colour);
        QCOMPARE(image.pixelColor(left, 115 - snr), colour);
        QVERIFY(image.pixelColor(left, 114 - snr) != colour);
        QVERIFY(image.pixelColor(left + 20, 114) != colour);
        QCOMPARE(image.pixelColor(left - 12, 115), kBlue);  // the axis stays visible
    }
};

QTEST_MAIN(TestInstruments)
#include "test_instruments.moc"
