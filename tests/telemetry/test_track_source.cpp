#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include "clip_builder.h"
#include "nmea_test_util.h"
#include "telemetry/per_second.h"
#include "telemetry/track_source.h"
#include "tests/support/tool_run.h"
#include "track/track.h"
#include "track/utc_clock.h"

Q_DECLARE_METATYPE(std::vector<TelemetryPoint>)

namespace {
// A valid fix at 2024-05-06 12:00:<second>.<ms>, at a latitude that names it.
TelemetryPoint Fix(int second, int ms, int64_t clip_ms = -1, double lat = 1) {
    TelemetryPoint p;
    p.has_time = p.valid = true;
    p.year = 2024, p.month = 5, p.day = 6, p.hour = 12;
    p.second = second, p.millisecond = ms;
    p.lat = lat, p.lon = -2;
    p.speed_kmh = 36, p.course = 90;
    p.clip_ms = clip_ms;
    return p;
}

TelemetryPoint Void(int64_t clip_ms) {
    TelemetryPoint p;
    p.clip_ms = clip_ms;
    return p;
}

TelemetryPoint Reading(int64_t clip_ms, double x) {
    TelemetryPoint p;
    p.clip_ms = clip_ms;
    p.has_accel = true;
    p.ax = x, p.ay = 0, p.az = 1;
    return p;
}

// Three Novatek seconds, the first at 48.125 N.
QByteArray NovatekClip() {
    QList<QByteArray> blocks;
    GpsRecord r;
    for (r.second = 0; r.second < 3; ++r.second) blocks << Block(Layout::kNewer, r);
    return Mp4(blocks);
}
}  // namespace

class TestTrackSource : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> tmp_;

private slots:
    void init() {
        tmp_ = std::make_unique<QTemporaryDir>();
        SetUtcClock(FixedNow);
    }
    void cleanup() { SetUtcClock({}); }

    // Points to entries: each entry's fields, entries joined by |.
    void perSecond_data() {
        QTest::addColumn<std::vector<TelemetryPoint>>("points");
        QTest::addColumn<QString>("entries");
        std::vector<TelemetryPoint> tenth;
        for (int i = 5; i < 30; ++i) tenth.push_back(Fix(i / 10, i % 10 * 100, -1, 1 + i / 1000.0));
        QTest::newRow("10 Hz keeps each second's first fix")
            << tenth
            << "sentences=8 valid=2 fix_mode=2 year=124 month=4 day=6 hour=12 second=0 "
               "hundredths=50 lat=100.3 lon=-200 speed=36 dir=90 inuse_no=0 inview_no=0"
               "|second=1 hundredths=0 lat=100.6|second=2 lat=101.2";
        QTest::newRow("a second seen again later is dropped")
            << std::vector{Fix(1, 0), Fix(0, 0), Fix(1, 500, -1, 5)} << "second=1 lat=100|second=0";
        std::vector<TelemetryPoint> placed{Fix(0, 0, 500), Fix(1, 0, 1500), Fix(2, 0, 2500)};
        for (int k = 0; k < 12; ++k) placed.push_back(Reading(250 * k, k));
        QTest::newRow("readings by clip time, those before the first fix with it")
            << placed << "x=2.5 z=1 sentences=40|x=7.5|x=10.5";
        QTest::newRow("void records keep their seconds")
            << std::vector{Void(0), Void(1000), Fix(2, 0, 2000), Reading(1200, 3)}
            << "sentences=0 valid=0 fix_mode=1 year=126 second=30 lat=0|x=3 valid=0|second=2 "
               "valid=2 x=0";
        std::vector<TelemetryPoint> record;
        AppendRecord(record, Reading(0, 0.5));
        QTest::newRow("a void record's own reading") << record << "x=0.5 z=1 valid=0 sentences=32";
        QTest::newRow("readings without clip time go with the point before")
            << std::vector{Reading(-1, 9), Fix(0, 0), Reading(-1, 1), Fix(1, 0), Reading(-1, 3)}
            << "x=5|x=3";
        QTest::newRow("readings alone: one entry per clip second")
            << std::vector{Reading(100, 1), Reading(1100, 2), Reading(1900, 4)} << "x=1|x=3";
        TelemetryPoint south = Fix(0, 0, -1, -33.775);
        south.lon = -151.2, south.altitude = 545.4, south.satellites = 8;
        QTest::newRow("south-west with altitude and satellites")
            << std::vector{south}
            << "sentences=9 lat=-3346.5 lon=-15112 altitude=545.4 inuse_no=8 inview_no=0";
    }
    void perSecond() {
        QFETCH(std::vector<TelemetryPoint>, points);
        QFETCH(QString, entries);
        const std::vector<TrackSample> samples = SamplesPerSecond(points);
        const QStringList want = entries.split('|', Qt::SkipEmptyParts);
        QCOMPARE(qsizetype(samples.size()), want.size());
        for (size_t i = 0; i < samples.size(); ++i)
            QVERIFY2(CheckFields(samples[i], want[i]).isEmpty(),
                     qPrintable(QString("entry %1: ").arg(i) + CheckFields(samples[i], want[i])));
    }

    // Which file gives a recording's track: the log beside it, else its .gps, else itself.
    void choice_data() {
        QTest::addColumn<QStringList>("files");  // the first is the recording's row
        QTest::addColumn<QString>("source");     // the file read
        QTest::addColumn<int>("entries");
        const QStringList novatek{"rec.MP4", "rec.nmea", "rec.gps"};
        QTest::newRow("log first") << novatek << "rec.nmea" << 1;
        QTest::newRow(".gps before the clip")
            << QStringList{"rec.mp4", "rec.gps"} << "rec.gps" << 0;
        QTest::newRow("the clip's own") << QStringList{"rec.mp4"} << "rec.mp4" << 3;
        QTest::newRow("a log pairs by its lower-case name only")
            << QStringList{"rec.Mp4", "rec.NMEA"} << "rec.Mp4" << 3;
        QTest::newRow("a log row") << QStringList{"rec.nmea", "rec.mp4"} << "rec.nmea" << 1;
        QTest::newRow("a clip without telemetry") << QStringList{"rec.ts"} << "rec.ts" << 0;
        QTest::newRow("a front clip: the shared log")
            << QStringList{"rec_F.MOV", "rec.nmea", "rec_F.gps"} << "rec.nmea" << 1;
        QTest::newRow("a front clip: its own log first")
            << QStringList{"rec_F.MOV", "rec_F.nmea", "rec.nmea"} << "rec_F.nmea" << 1;
        QTest::newRow("a rear clip: not the shared log")
            << QStringList{"rec_R.mp4", "rec.nmea"} << "rec_R.mp4" << 3;
    }
    // Which names are a channel of a two-channel camera, and the name the channels share.
    void clipChannel_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("shared");  // "" for an ordinary name
        QTest::addColumn<char>("channel");
        QTest::newRow("_F") << "/c/REC0007_F.MOV"
                            << "/c/REC0007" << 'F';
        QTest::newRow("mode letter") << "20240101_120000_NR.mp4"
                                     << "20240101_120000_N" << 'R';
        QTest::newRow("after digits") << "2024_0101_120000_0012B.MP4"
                                      << "2024_0101_120000_0012" << 'B';
        QTest::newRow("lower case") << "rec0007_i.ts"
                                    << "rec0007" << 'i';
        QTest::newRow("no channel") << "REC0001.MOV"
                                    << "" << '\0';
        QTest::newRow("a word ending in F") << "SELF.MOV"
                                            << "" << '\0';
        QTest::newRow("a word ending in _OF") << "CLIP_OFF.MOV"
                                              << "" << '\0';
        QTest::newRow("the letter alone") << "/c_1/_F.MOV"
                                          << "" << '\0';
        QTest::newRow("other letter") << "REC0007_X.MOV"
                                      << "" << '\0';
    }
    void clipChannel() {
        QFETCH(QString, path);
        QFETCH(QString, shared);
        QFETCH(char, channel);
        const ClipChannel split = SplitClipChannel(path.toStdString());
        QCOMPARE(split.shared, shared.toStdString());
        QCOMPARE(split.channel, channel);
    }

    void choice() {
        QFETCH(QStringList, files);
        QFETCH(QString, source);
        QFETCH(int, entries);
        const QByteArray log =
            Nmea("GPRMC,120000,A,4807.5,N,01131.25,E,010.0,084.5,060524,,", "\r\n") +
            "$GSENSOR,0,0,1000\n";
        for (const QString& name : files) {
            const QString suffix = QFileInfo(name).suffix().toLower();
            WriteFile(tmp_->filePath(name), suffix == "nmea"                    ? log
                                            : suffix == "gps" || suffix == "ts" ? QByteArray()
                                                                                : NovatekClip());
        }
        const QString analysis = tmp_->filePath("out_nmea.txt");
        WriteFile(analysis, "stale");
        const std::string row = tmp_->filePath(files[0]).toStdString();
        QCOMPARE(ChooseTrackSource(row).path, tmp_->filePath(source).toStdString());
        const SourcedTrack loaded = LoadSourcedTrack(row, analysis.toStdString());
        QCOMPARE(loaded.source.path, tmp_->filePath(source).toStdString());
        int count = 0;
        for (const TrackEntry* e = loaded.first; e != nullptr; e = e->next) ++count;
        FreeTrack(loaded.first);
        QCOMPARE(count, entries);
        // The analysis is written as for a log: an empty track leaves none.
        QCOMPARE(QFile::exists(analysis), entries > 0);
        QCOMPARE(loaded.why_none.empty(), entries > 0);
    }

    // The tool takes a clip directly; a clip without telemetry is one line and no file.
    void tool() {
        const QString clip = WriteFile(tmp_->filePath("clip.mp4"), NovatekClip());
        const QString csv = tmp_->filePath("out.csv");
        ToolRun run = RunTool(VANTRAIL_TRACK_TOOL, {clip, "--csv", csv});
        QCOMPARE(run.status, 0);
        const QList<QByteArray> rows = ReadFile(csv).split('\n');
        QCOMPARE(rows.size(), 5);
        QVERIFY2(
            rows[1].startsWith("0,2024-05-06T07:08:00.00Z,2,48.12500000,11.52083333,0,18.52,84.5,"),
            rows[1]);

        WriteFile(clip, Mp4({}, {.index = false}));
        QFile::remove(csv);
        run = RunTool(VANTRAIL_TRACK_TOOL, {clip, "--csv", csv});
        QVERIFY(EndedAs(run, "vantrail-track", 1, "no GPS or G-sensor data in clip.mp4"));
        QVERIFY(!QFile::exists(csv));
    }
};

QTEST_GUILESS_MAIN(TestTrackSource)
#include "test_track_source.moc"
