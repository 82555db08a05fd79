#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <memory>

#include "nmea_test_util.h"
#include "real_logs.h"
#include "track/track.h"
#include "track/utc_clock.h"

namespace {
struct Run {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

Run RunTool(const QStringList& args, const QString& dir = {}) {
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(VANTRAIL_TRACK_TOOL, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return {};
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

const QByteArray kGroup =
    Nmea("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,", "\r\n") +
    Nmea("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W", "\r\n") +
    "$GSENSOR,300,-400,1200\r\n" +
    Nmea("GPGGA,123520,4808.038,N,01131.000,E,1,08,0.9,546.0,M,46.9,M,,", "\r\n") +
    Nmea("GPRMC,123520,A,4808.038,N,01131.000,E,030.0,000.0,230394,003.1,W", "\r\n") +
    "$GSENSOR,0,0,1000\r\n" + Nmea("GPGGA,123521,,,,,0,00,,,M,,M,,", "\r\n") +
    Nmea("GPVTG,,T,,M,0.0,N,0.0,K", "\r\n") + "$GSENSOR,0,0,1000\r\n";
}  // namespace

class TestVantrailTrack : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> tmp_;
    QString Path(const QString& name) const { return tmp_->filePath(name); }
    QString Write(const QString& name, const QByteArray& bytes) {
        return WriteFile(Path(name), bytes);
    }

private slots:
    void init() {
        tmp_ = std::make_unique<QTemporaryDir>();
        QVERIFY(tmp_->isValid());
        Write("log.nmea", kGroup);
    }
    void cleanup() { tmp_.reset(); }

    // Usage errors exit 2 with the usage text; failures exit 1 with one line.
    void exitCodes_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("err");
        const QByteArray usage = "\nusage: vantrail-track LOG";
        QTest::newRow("help") << QStringList{"--help"} << 0 << QByteArray();
        QTest::newRow("nothing") << QStringList{} << 2 << "no LOG given" + usage;
        QTest::newRow("unknown option")
            << QStringList{"log.nmea", "--kml", "x"} << 2 << "unknown option --kml" + usage;
        QTest::newRow("empty value") << QStringList{"log.nmea", "--csv="} << 2 << QByteArray();
        QTest::newRow("two logs") << QStringList{"a.nmea", "b.nmea"} << 2 << "one LOG only" + usage;
        QTest::newRow("four fraction digits")
            << QStringList{"log.nmea", "--now", "2026-12-05T10:20:30.4501Z"} << 2
            << "--now wants a UTC time like 2026-12-05T10:20:30Z" + usage;
        QTest::newRow("missing log") << QStringList{"missing.nmea", "--summary"} << 1
                                     << QByteArray("cannot read missing.nmea: No such file");
        QTest::newRow("log is a folder")
            << QStringList{".", "--summary"} << 1 << QByteArray("cannot read .: Is a directory");
        QTest::newRow("analysis unwritable")
            << QStringList{"log.nmea", "--analysis", "no/such/dir/a.txt"} << 1
            << QByteArray("no/such/dir/a.txt: Open out nmea file fail!\n");
        QTest::newRow("gpx unwritable") << QStringList{"log.nmea", "--gpx", "no/such/dir/a.gpx"}
                                        << 1 << QByteArray("cannot write no/such/dir/a.gpx");
        QTest::newRow("csv unwritable")
            << QStringList{"log.nmea", "--csv", "."} << 1 << QByteArray("cannot write .");
    }
    void exitCodes() {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QByteArray, err);
        const Run r = RunTool(args, tmp_->path());
        QCOMPARE(r.status, status);
        if (status == 0) {
            QVERIFY(r.out.startsWith("usage: vantrail-track LOG"));
            return;
        }
        QVERIFY2(r.err.startsWith("vantrail-track: " + err), r.err.constData());
        QVERIFY(r.out.isEmpty());
        if (status == 1)
            QCOMPARE(r.err.count('\n'), 1);
        else
            QVERIFY(r.err.contains("usage: vantrail-track LOG"));
    }

    // Every output of one run; a bare run prints the summary too.
    void outputs() {
        const QDir bin = QFileInfo(VANTRAIL_TRACK_TOOL).dir();
        const QStringList beside_tool = bin.entryList(QDir::Files);
        const Run r = RunTool({"log.nmea", "--summary", "--csv", "t.csv", "--gpx", "t.gpx", "--now",
                               "2026-12-05T10:20:30.450Z"},
                              tmp_->path());
        QCOMPARE(r.status, 0);
        // One minute of latitude apart is 1.853 km; speeds 41.5 and 55.6 km/h from RMC.
        QCOMPARE(r.out, QByteArray("entries: 3\nvalid fixes: 2\nduration: 0:00:03\n"
                                   "distance: 1.853 km\nmax speed: 55.6 km/h\n"
                                   "peak acceleration: 1.300 g\n"));
        QCOMPARE(RunTool({"log.nmea"}, tmp_->path()).out, r.out);
        QCOMPARE(bin.entryList(QDir::Files), beside_tool);
        QCOMPARE(QDir(tmp_->path()).entryList(QDir::Files),
                 (QStringList{"log.nmea", "t.csv", "t.gpx"}));

        const QList<QByteArray> rows = ReadFile(Path("t.csv")).split('\n');
        QCOMPARE(rows.size(), 5);  // header, three rows, the empty text after the last line feed
        QCOMPARE(rows[0], QByteArray("index,utc,valid,lat,lon,altitude,speed_kmh,course,x,y,z,"
                                     "satellites_in_view,satellites_in_use"));
        QCOMPARE(rows[1], QByteArray("0,1994-03-23T12:35:19.00Z,1,48.11730000,11.51666667,545.4,"
                                     "41.4848,84.4,0.3,-0.4,1.2,0,0"));
        // The last entry has no RMC: the date comes from --now.
        QVERIFY(rows[3].startsWith("2,2026-12-05T12:35:21.00Z,0,0.00000000,0.00000000,0,0,0,"));

        QXmlStreamReader xml(ReadFile(Path("t.gpx")));
        QStringList seen;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            const QString name = xml.name().toString();
            if (name == "gpx" || name == "trkpt")
                seen << xml.attributes().value(name == "gpx" ? "version" : "lat").toString();
            else if (name == "time" || name == "speed")
                seen << xml.readElementText();
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        // Only valid positions; speeds in m/s.
        QCOMPARE(seen, (QStringList{"1.1", "48.11730000", "1994-03-23T12:35:19.00Z", "11.52355556",
                                    "48.13396667", "1994-03-23T12:35:20.00Z", "15.43333333"}));
    }

    // The same bytes as the player's analysis of the same log, with the same clock.
    void analysisOfRealLogs_data() {
        QTest::addColumn<QString>("name");
        for (const QString& name : RealLogNames()) QTest::newRow(qPrintable(name)) << name;
    }
    void analysisOfRealLogs() {
        QFETCH(QString, name);
        const QString log = Write("log.nmea", WithGsensorLines(ReadRealLog(name)));
        const Run r =
            RunTool({log, "--analysis", Path("tool.txt"), "--now", "2026-12-05T10:20:30.450Z"});
        QVERIFY2(r.status == 0 && r.err.isEmpty(), r.err.constData());
        SetUtcClock(FixedNow);
        FreeTrack(LoadTrack(log.toStdString(), Path("player.txt").toStdString()));
        SetUtcClock({});
        QCOMPARE(ReadFile(Path("tool.txt")), ReadFile(Path("player.txt")));
    }

    void emptyTrackLeavesNoAnalysis() {
        Write("old.txt", "old analysis");
        const QString log = Write("log.nmea", ReadRealLog("gpslim236.log"));  // no G-sensor
        const Run r = RunTool({log, "--analysis", Path("old.txt"), "--summary"});
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.startsWith("entries: 0\nvalid fixes: 0\n"));
        QVERIFY(!QFile::exists(Path("old.txt")));
    }
};

QTEST_GUILESS_MAIN(TestVantrailTrack)
#include "test_vantrail_track.moc"
