#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <memory>

#include "nmea_test_util.h"
#include "real_logs.h"
#include "tests/support/tool_run.h"

namespace {
// file_size_limit, when set, makes writes past that many bytes fail as on a full disk.
ToolRun Track(const QStringList& args, const QString& dir = {}, rlim_t file_size_limit = 0) {
    return RunTool(VANTRAIL_TRACK_TOOL, args, dir, [file_size_limit] {
        if (file_size_limit == 0)
            return;
        const rlimit limit{file_size_limit, file_size_limit};
        setrlimit(RLIMIT_FSIZE, &limit);
        std::signal(SIGXFSZ, SIG_IGN);
    });
}

const QByteArray kGroup =
    Nmea("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,", "\r\n") +
    Nmea("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W", "\r\n") +
    "$GSENSOR,300,-400,1200\r\n" +
    Nmea("GPGGA,123520,4808.038,N,01131.000,E,1,08,0.9,546.0,M,46.9,M,,", "\r\n") +
    Nmea("GPRMC,123520,A,4808.038,N,01131.000,E,030.0,000.0,230394,003.1,W", "\r\n") +
    "$GSENSOR,0,0,1000\r\n" + Nmea("GPGGA,123521,,,,,0,00,,,M,,M,,", "\r\n") +
    Nmea("GPVTG,,T,,M,0.0,N,0.0,K", "\r\n") + "$GSENSOR,0,0,2000\r\n";
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

    // Usage errors exit 2, failures 1; text: the start of standard output when the status is
    // 0, else of standard error after the tool's name.
    void exitCodes_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("text");
        const auto row = [](const char* name, const QString& args, int status,
                            const QByteArray& text) {
            QTest::newRow(name) << args.split(' ', Qt::SkipEmptyParts) << status << text;
        };
        const QByteArray threshold = " wants a number of g above 0, like 0.45\n";
        row("unknown option", "log.nmea --kmz=x", 2, "unknown option --kmz\n");
        row("threshold of zero", "--harsh 0 log.nmea", 2, "--harsh" + threshold);
        const QByteArray now = "--now wants a UTC time like 2026-12-05T10:20:30Z, 1678 to 2261\n";
        // Past the clock's range, which would overflow.
        row("last moment of 9999", "log.nmea --now 9999-12-31T23:59:59.999Z", 2, now);
        row("missing log", "missing.nmea --summary", 1, "cannot read missing.nmea: No such file");
        row("log is a FIFO", "fifo.nmea", 1, "cannot read fifo.nmea: not a regular file\n");
        // Nothing is touched: the log stays, and so does the folder.
        row("analysis onto the log", "log.nmea --analysis log.nmea", 2,
            "--analysis log.nmea is the LOG\n");
        row("GPX onto a link to the log", "log.nmea --gpx=link.nmea", 2,
            "--gpx link.nmea is the LOG\n");
        row("analysis onto a folder", "log.nmea --analysis folder", 2,
            "--analysis folder is a folder\n");
        row("analysis unwritable", "log.nmea --analysis no/such/dir/a.txt", 1,
            "no/such/dir/a.txt: Open out nmea file fail!\n");
    }
    void exitCodes() {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QByteArray, text);
        QCOMPARE(mkfifo(Path("fifo.nmea").toLocal8Bit().constData(), 0600), 0);
        QCOMPARE(link(Path("log.nmea").toLocal8Bit().constData(),
                      Path("link.nmea").toLocal8Bit().constData()),
                 0);
        QVERIFY(QDir(tmp_->path()).mkdir("folder"));
        const ToolRun r = Track(args, tmp_->path());
        QVERIFY2(EndedAs(r, "vantrail-track", status, text), (r.out + r.err).constData());
        QCOMPARE(ReadFile(Path("log.nmea")), kGroup);
        QVERIFY(QFileInfo(Path("folder")).isDir());
    }

    // Every output of one run; a bare run prints the summary too.
    void outputs() {
        const QDir bin = QFileInfo(VANTRAIL_TRACK_TOOL).dir();
        const QStringList beside_tool = bin.entryList(QDir::Files);
        const ToolRun r =
            Track({"log.nmea", "--summary", "--csv", "t.csv", "--gpx", "t.gpx", "--kml", "t.kml",
                   "--events=t.events", "--now", "2026-12-05T10:20:30.450Z"},
                  tmp_->path());
        QCOMPARE(r.status, 0);
        // One minute of latitude apart is 1.853 km; speeds 41.5 and 55.6 km/h from RMC. Entry 0
        // turns at 0.5 g; entry 2 is 0.6 g above the mean of 1.4 g.
        const QByteArray summary =
            "entries: 3\nvalid fixes: 2\nduration: 0:00:03\ndistance: 1.853 km\n"
            "max speed: 55.6 km/h\npeak acceleration: 2.000 g\n";
        QCOMPARE(r.out, summary + "harsh events: 1\nbump events: 1\n");
        QCOMPARE(Track({"log.nmea", "--harsh=0.51", "--bump", "0.61"}, tmp_->path()).out,
                 summary + "harsh events: 0\nbump events: 0\n");
        QCOMPARE(bin.entryList(QDir::Files), beside_tool);
        QCOMPARE(QDir(tmp_->path()).entryList(QDir::Files),
                 (QStringList{"log.nmea", "t.csv", "t.events", "t.gpx", "t.kml"}));
        // Entry 2 has no RMC: the clock dates it. No fix, no position; only valid positions in
        // the GPX.
        for (const QString ext : {"csv", "events", "gpx", "kml"}) {
            const QByteArray got = ReadFile(Path("t." + ext));
            QCOMPARE(got, Golden("vantrail-track." + ext, got));
        }
    }

    // A write that fails part way exits 1 and leaves the file it was to replace as it was,
    // and nothing beside it; a device is written as it is.
    void writeFailures_data() {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("error");
        const auto row = [](const char* name, const char* option, const char* file, int error) {
            QTest::newRow(name) << QString(option) << QString(file)
                                << QByteArray(std::strerror(error));
        };
        row("csv", "--csv", "t.csv", EFBIG);
        row("events, failing as it is flushed", "--events", "t.events", EFBIG);
        row("full device", "--csv", "/dev/full", ENOSPC);
    }
    void writeFailures() {
        QFETCH(QString, option);
        QFETCH(QString, file);
        QFETCH(QByteArray, error);
        // Hundreds of entries: the first buffer fails while the writer is still going.
        Write("log.nmea", WithGsensorLines(ReadRealLog("mtk-3301.log")));
        Write("t.csv", "old");
        Write("t.events", "old");
        const ToolRun r = Track({"log.nmea", option, file}, tmp_->path(), 30);
        QCOMPARE(r.status, 1);
        QCOMPARE(r.err, "vantrail-track: cannot write " + file.toUtf8() + ": " + error + "\n");
        QCOMPARE(QDir(tmp_->path()).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{"log.nmea", "t.csv", "t.events"}));
        QCOMPARE(ReadFile(Path("t.csv")) + ReadFile(Path("t.events")), "oldold");
    }

    // The same bytes as the player's analysis of the same log, checked in, with the same clock.
    void analysisOfRealLogs_data() {
        QTest::addColumn<QString>("name");
        for (const QString& name : RealLogNames()) QTest::newRow(qPrintable(name)) << name;
    }
    void analysisOfRealLogs() {
        QFETCH(QString, name);
        const QString log = Write("log.nmea", WithGsensorLines(ReadRealLog(name)));
        const ToolRun r =
            Track({log, "--analysis", Path("tool.txt"), "--now", "2026-12-05T10:20:30.450Z"});
        QVERIFY2(r.status == 0 && r.err.isEmpty(), r.err.constData());
        QCOMPARE(ReadFile(Path("tool.txt")),
                 ReadFile(VANTRAIL_TEST_DATA "/golden/" + name + ".out_nmea.txt"));
    }
};

QTEST_GUILESS_MAIN(TestVantrailTrack)
#include "test_vantrail_track.moc"
