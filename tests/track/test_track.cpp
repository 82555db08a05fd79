#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <memory>

#include "nmea_test_util.h"
#include "track/track.h"
#include "track/utc_clock.h"

namespace {
const QByteArray kGga = Nmea("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,", "\n");
const QByteArray kGsa = Nmea("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1", "\n");
const QByteArray kGsv = Nmea("GPGSV,1,1,02,04,40,083,46,05,17,308,41", "\n");
const QByteArray kRmc =
    Nmea("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W", "\n");
const QByteArray kVtg = Nmea("GPVTG,054.7,T,034.4,M,005.5,N,010.2,K", "\n");
const QByteArray kVtg2 = Nmea("GPVTG,100.0,T,090.0,M,010.0,N,020.0,K", "\n");
const QByteArray kGsensor = "$GSENSOR,-1000,0,1000\n";
const QByteArray kGroup = kGga + kGsa + kRmc + kVtg + kGsensor;

using Track = std::unique_ptr<TrackEntry, decltype(&FreeTrack)>;

// The process's address space, in pages.
long MappedPages() {
    QFile statm("/proc/self/statm");
    return statm.open(QIODevice::ReadOnly) ? statm.readAll().split(' ').value(0).toLong() : 0;
}

QList<TrackEntry*> Entries(TrackEntry* first) {
    QList<TrackEntry*> list;
    for (TrackEntry* e = first; e != nullptr; e = e->next) list << e;
    return list;
}
}  // namespace

class TestTrack : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> tmp_;

    QString Write(const QByteArray& bytes) { return WriteFile(tmp_->filePath("log.nmea"), bytes); }
    Track Load(const QByteArray& bytes) {
        return {LoadTrack(Write(bytes).toStdString(), ""), FreeTrack};
    }

private slots:
    void init() {
        tmp_ = std::make_unique<QTemporaryDir>();
        QVERIFY(tmp_->isValid());
        SetUtcClock(FixedNow);
    }
    void cleanup() {
        SetUtcClock({});
        tmp_.reset();
    }

    // Whole logs: the fields each entry must hold, entries joined by |.
    void load_data() {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<QString>("entries");
        const auto row = [](const char* name, const QByteArray& log, const QString& entries) {
            QTest::newRow(name) << log << entries;
        };
        row("GPS but no G-sensor line", kGga + kGsa + kRmc + kVtg, "");
        row("three plain groups", kGroup.repeated(3),
            "sentences=59 valid=1 year=94 month=2 day=23 hour=12 speed=10.2 dir=54.7 x=-1 z=1"
            "|sentences=59|sentences=59");
        row("GSV group gets the kept VTG line again",
            kGroup + kGga + kGsa + kGsv + kRmc + kVtg2 + kGsensor,
            "sentences=59|sentences=63 speed=10.2 dir=54.7 mag_dir=34.4 sat0.prn=4 inview_no=2");
        row("two G-sensor lines in a row", kGroup + "$GSENSOR,500,250,-125\n",
            "sentences=59|sentences=48 x=0.5 y=0.25 z=-0.125 valid=0 lat=0 lon=0 speed=10.2 "
            "dir=54.7 year=126 month=11 day=5 hour=10 minute=20 second=30 hundredths=45");
        row("groups without RMC keep the computer's date", kGga + kGsa + kVtg + kGsensor,
            "sentences=51 year=126 month=11 day=5 hour=12 minute=35 second=19");
        row("GPS last line without line feed is lost", kGsensor + kGga.chopped(1),
            "sentences=32 hour=10");
        row("G-sensor last line without line feed", kGga + "$GSENSORD,0.5,-0.25,1",
            "sentences=33 x=0.5 y=-0.25 z=1");
        row("rejected G-sensor line closes nothing", kGga + "$GSENSOR,1\n", "");
        row("NUL ends the line text",
            QByteArray("$GSENSOR,1,2,3\0garbage\n", 23) + QByteArray("\0$GSENSOR,4,5,6\n", 16),
            "x=0.001");
        // Lines are read 259 characters at a time: only a piece that starts with the name is
        // a G-sensor line.
        const QByteArray gsensor = "$GSENSOR,1,2,3\n";
        row("G-sensor name at character 259", QByteArray(259, 'x') + gsensor, "x=0.001");
        row("G-sensor name at character 260", QByteArray(260, 'x') + gsensor, "");
        QByteArray lines;  // crossing the reader's block boundaries, CR LF split included
        QStringList each;
        for (int i = 0; i < 1100; ++i) {
            lines +=
                "$GSENSOR,1,2," + QByteArray::number(i) + QByteArray(180 + i % 59, ',') + "\r\n";
            each << "z=" + FieldText(i / 1000.0);
        }
        row("many lines over block boundaries", lines, each.join('|'));
        // The CR starts the next line, so no line begins with "$GSENSOR,".
        row("LF CR ends hide the G-sensor lines", QByteArray(kGroup).replace("\n", "\n\r"), "");
    }
    void load() {
        QFETCH(QByteArray, log);
        QFETCH(QString, entries);
        const Track track = Load(log);
        const QList<TrackEntry*> list = Entries(track.get());
        const QStringList want = entries.split('|', Qt::SkipEmptyParts);
        QCOMPARE(list.size(), want.size());
        for (int i = 0; i < list.size(); ++i) {
            QCOMPARE(list[i]->index, i);
            const QString diff = CheckFields(list[i]->sample, want[i]);
            QVERIFY2(diff.isEmpty(), qPrintable(QString("entry %1: %2").arg(i).arg(diff)));
        }
    }

    // A line with bytes after its checksum holds up the lines after it until the parser's
    // 1024-byte buffer would overflow; the line that overflows it is parsed afresh. Prepared,
    // the stuck line is 24 bytes and a group 257 (GGA 67, GSA 49, RMC 70, VTG 43, G-sensor
    // 28): 24 + 3 * 257 + 67 + 49 + 70 = 981, so the VTG of the fourth group overflows it, and
    // that group and the 26 after it load, the fourth with its VTG and G-sensor lines only.
    void stuckSentenceReleasedByOverflow() {
        const Track track = Load("$GSENSOR,1,2,3*1F\n" + kGroup.repeated(30));
        const QList<TrackEntry*> list = Entries(track.get());
        QCOMPARE(list.size(), 27);
        QCOMPARE(CheckFields(list[0]->sample, "sentences=48 speed=10.2 x=-1"), QString());
        QCOMPARE(CheckFields(list[1]->sample, "sentences=59"), QString());
    }

    // Only a regular file is read (a FIFO would block for good); the others give an empty
    // track and say why.
    void unreadableLogs_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("why");
        const auto row = [](const char* tag, const QString& name, const QString& why) {
            QTest::newRow(tag) << name << why;
        };
        row("log", "log.nmea", "");
        row("missing", "missing.nmea", "No such file or directory");
        row("folder", "", "a folder, not a file");
        row("FIFO without a writer", "fifo.nmea", "not a regular file");
    }
    void unreadableLogs() {
        QFETCH(QString, name);
        QFETCH(QString, why);
        Write(kGroup);
        QCOMPARE(mkfifo(tmp_->filePath("fifo.nmea").toLocal8Bit().constData(), 0600), 0);
        std::string unreadable = "?";
        const Track track(LoadTrack(tmp_->filePath(name).toStdString(), "", nullptr, &unreadable),
                          FreeTrack);
        QCOMPARE(QString::fromStdString(unreadable), why);
        QCOMPARE(track != nullptr, why.isEmpty());
    }

    // Entries come from blocks that grow with the track, from plain pages to huge ones, and
    // are given back together.
    void longTracks_data() {
        QTest::addColumn<bool>("fromLog");
        QTest::addColumn<int>("count");
        QTest::newRow("log of more entries than its size suggests") << true << 10000;
        QTest::newRow("samples in one huge-page block") << false << 4000;
        QTest::newRow("no samples") << false << 0;
    }
    void longTracks() {
        QFETCH(bool, fromLog);
        QFETCH(int, count);
        QByteArray log;
        std::vector<TrackSample> samples(static_cast<size_t>(count), TrackSample{});
        for (int i = 0; i < count; ++i) {
            log += "$GSENSOR," + QByteArray::number(i) + ",0,0\n";
            samples[static_cast<size_t>(i)].x = i / 1000.0;
            samples[static_cast<size_t>(i)].sats[kMaxSatellites - 1].snr = i;
        }
        const std::string path = Write(log).toStdString();
        const long before = MappedPages();
        {
            const Track track(fromLog ? LoadTrack(path, "") : BuildTrack(samples), FreeTrack);
            int i = 0;
            for (const TrackEntry* e = track.get(); e != nullptr; e = e->next, ++i) {
                if (e->index != i || FieldText(e->sample.x) != FieldText(i / 1000.0) ||
                    (!fromLog && e->sample.sats[kMaxSatellites - 1].snr != i)) {
                    QFAIL(qPrintable(QString("entry %1 wrong").arg(i)));
                }
            }
            QCOMPARE(i, count);
        }
        // Any block kept would leave more than 1 MB.
        QVERIFY((MappedPages() - before) * 4096 < (1 << 20));
    }
};

QTEST_APPLESS_MAIN(TestTrack)
#include "test_track.moc"
