#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "nmea_test_util.h"
#include "track/driving_events.h"
#include "track/track.h"
#include "track/track_outputs.h"
#include "track/utc_clock.h"

namespace {
// A log written from a compact plan: items "[@|S]x,y,z", a second each; "@" puts a fix
// north-east before its reading, "S" one south-west. A reading with a decimal point is a
// $GSENSORD line (g), any other a $GSENSOR line (milli-g).
struct PlannedLog {
    QByteArray bytes;
    QByteArray fixes;  // per entry: ' ', '@' or 'S'
};

PlannedLog Plan(const QString& plan) {
    PlannedLog log;
    for (QString item : plan.split(' ', Qt::SkipEmptyParts)) {
        const char fix = item[0] == '@' || item[0] == 'S' ? item[0].toLatin1() : ' ';
        if (fix != ' ')
            item = item.mid(1);
        const QByteArray time =
            "1200" + QByteArray::number(log.fixes.size()).rightJustified(2, '0');
        const QByteArray where = fix == 'S' ? "3346.500,S,15112.000,W" : "4807.038,N,01131.000,E";
        if (fix != ' ') {
            log.bytes +=
                Nmea("GPGGA," + time + "," + where + ",1,08,0.9,545.4,M,46.9,M,,", "\r\n") +
                Nmea("GPRMC," + time + ",A," + where + ",022.4,084.4,050313,003.1,W", "\r\n");
        }
        log.bytes += (item.contains('.') ? "$GSENSORD," : "$GSENSOR,") + item.toLatin1() + "\r\n";
        log.fixes += fix;
    }
    return log;
}

// "lat,lon" of a planned fix as the outputs write it, or the empty text.
QString Position(char fix) {
    if (fix == ' ')
        return {};
    return fix == 'S' ? "-33.775000,-151.200000" : "48.117300,11.516667";
}

}  // namespace

class TestDrivingEvents : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { SetUtcClock(FixedNow); }
    void cleanupTestCase() { SetUtcClock({}); }

    // Events planted in logs, read back from the events CSV and the KML the library writes.
    void plantedEvents_data() {
        QTest::addColumn<QString>("plan");
        QTest::addColumn<double>("harsh");
        QTest::addColumn<double>("bump");
        QTest::addColumn<QString>("events");  // "index kind peak; ..."
        // 0.4 exactly counts; a run peaks at its largest reading, not its first.
        QTest::newRow("z up: braking and a turn")
            << "0,0,1000 400,0,1000 0,0,1000 @-300,-100,1000 @-450,-200,1000 @-410,0,1000 "
               "@-400,300,1000 0,0,1000 @0,420,1000"
            << 0.40 << 0.50 << "1 harsh 0.400; 6 harsh 0.500; 8 harsh 0.420";
        // Deviations up and down cancel, so the mean stays 1 g.
        QTest::newRow("x up: a pothole over two seconds each way")
            << "1000,0,0 1000,0,0 S1600,0,0 S1550,0,100 1000,0,0 1000,0,0 450,0,0 400,0,0 1000,0,0 "
               "1000,0,0"
            << 0.40 << 0.50 << "2 bump 0.600; 7 bump 0.600";
        QTest::newRow("y down: harsh and bump at one entry")
            << "0,-1000,0 0,-1000,0 @500,-1600,0 0,-1000,0 0,-1000,0 0,-400,0 0,-1000,0" << 0.40
            << 0.50 << "2 harsh 0.500; 2 bump 0.600; 5 bump 0.600";
        // Mean |x| equals mean |z|: z wins, a steady 0.5 g off its mean.
        QTest::newRow("x and z tie") << "1.0,0,0.5 @1.0,0,1.5 1.0,0,0.5 1.0,0,1.5" << 0.40 << 0.50
                                     << "0 harsh 1.000; 0 bump 0.500";
        QTest::newRow("no entries") << "" << 0.40 << 0.50 << "";
    }
    void plantedEvents() {
        QFETCH(QString, plan);
        QFETCH(double, harsh);
        QFETCH(double, bump);
        QFETCH(QString, events);
        QTemporaryDir tmp;
        const PlannedLog log = Plan(plan);
        const std::string path = WriteFile(tmp.filePath("log.nmea"), log.bytes).toStdString();
        const std::unique_ptr<TrackEntry, decltype(&FreeTrack)> track(LoadTrack(path, ""),
                                                                      FreeTrack);
        const std::vector<DrivingEvent> found = FindDrivingEvents(track.get(), {harsh, bump});
        const QString csv = tmp.filePath("events.csv");
        const QString kml = tmp.filePath("events.kml");
        QCOMPARE(WriteOutputFile(csv.toStdString(),
                                 [&](std::FILE* out) { return WriteEventsCsv(out, found); }),
                 0);
        QCOMPARE(WriteOutputFile(
                     kml.toStdString(),
                     [&](std::FILE* out) { return WriteKml(out, track.get(), found, "log & co"); }),
                 0);

        QStringList rows{"index,utc,kind,peak_g,lat,lon,speed_kmh"};
        for (const QString& event : events.split("; ", Qt::SkipEmptyParts)) {
            const QStringList p = event.split(' ');
            const int index = p[0].toInt();
            const char fix = log.fixes[index];
            const QString utc =
                fix == ' ' ? "2026-12-05T10:20:30.45Z"
                           : QString("2013-03-05T12:00:%1.00Z").arg(index, 2, 10, QChar('0'));
            rows << QStringList{p[0], utc, p[1], p[2], Position(fix), fix == ' ' ? "," : "41.5"}
                        .join(',');
        }
        QCOMPARE(QString::fromLatin1(ReadFile(csv)), rows.join('\n') + '\n');
        const QByteArray got = ReadFile(kml);
        const QString tag = QTest::currentDataTag();
        QCOMPARE(got,
                 Golden("events-" + tag.split(QRegularExpression("\\W+")).join('-') + ".kml", got));
    }
};

QTEST_GUILESS_MAIN(TestDrivingEvents)
#include "test_driving_events.moc"
