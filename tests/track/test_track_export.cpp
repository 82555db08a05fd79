#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <functional>
#include <memory>
#include <tuple>
#include <vector>

#include "nmea_test_util.h"
#include "real_logs.h"
#include "track/track.h"
#include "track/track_export.h"
#include "track/track_outputs.h"
#include "track/utc_clock.h"

namespace {
// A track of count linked entries, each at 09:05:03 on 2017-01-05.
std::vector<TrackEntry> MakeTrack(int count) {
    std::vector<TrackEntry> track;
    for (int i = 0; i < count; ++i) {
        TrackSample& s = track.emplace_back(TrackEntry{i, {}, nullptr}).sample;
        std::tie(s.year, s.day, s.hour, s.minute, s.second) = std::tuple(117, 5, 9, 5, 3);
    }
    for (int i = 0; i + 1 < count; ++i) track[size_t(i)].next = &track[size_t(i) + 1];
    return track;
}

// The lines of one section, CR LF removed, from its title to the next empty line.
QList<QByteArray> Section(const QByteArray& file, const QByteArray& title) {
    QList<QByteArray> lines = file.split('\n');
    for (QByteArray& l : lines) l.chop(l.endsWith('\r') ? 1 : 0);
    QList<QByteArray> out;
    for (qsizetype i = lines.indexOf(title) + 1; i > 0 && i < lines.size() && !lines[i].isEmpty();
         ++i)
        out << lines[i];
    return out;
}
}  // namespace

class TestTrackExport : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> tmp_;
    QString out_;

    // The file written, or a marker with the result.
    QByteArray Export(const TrackEntry* first) {
        const int result = ExportTrackAnalysis(first, out_.toStdString());
        return result == 0 ? ReadFile(out_) : "<result " + QByteArray::number(result) + ">";
    }

private slots:
    void init() {
        tmp_ = std::make_unique<QTemporaryDir>();
        QVERIFY(tmp_->isValid());
        out_ = tmp_->filePath("out_nmea.txt");
        SetUtcClock(FixedNow);
    }
    void cleanup() {
        SetUtcClock({});
        tmp_.reset();
    }

    void prnColumnsAcrossEntries() {
        std::vector<TrackEntry> b = MakeTrack(3);
        b[0].sample.sats[0] = {7, 0, 0, 0, 30};
        b[1].sample.sats[3] = {9, 0, 0, 0, 25};
        TrackSample& third = b[2].sample;
        third.sats[0] = {7, 0, 0, 0, 33};
        third.sats[1] = {7, 0, 0, 0, 31};    // a later slot with the same PRN wins
        third.sats[2] = {100, 0, 0, 0, 50};  // outside the table
        third.sats[4] = {-1, 0, 0, 0, 50};
        const QByteArray file = Export(b.data());
        QCOMPARE(Section(file, "PRN_SNR"),
                 (QList<QByteArray>{"index\tPRN_07\tPRN_09\t", "    0\t    30\t     0\t",
                                    "    1\t     0\t    25\t", "    2\t    31\t     0\t"}));
        // Ties keep the earlier entry.
        QVERIFY(Section(file, "SNR")[4].startsWith("max_snr_idx\t  2\t  2\t  2\t  1\t  2\t"));
    }

    void tableRowsEndAt3072() {
        std::vector<TrackEntry> b = MakeTrack(3100);
        for (int i = 0; i < 3100; ++i) {
            TrackSample& s = b[size_t(i)].sample;
            s.sats[0] = {3, 1, 0, 0, 20 + i % 5};
            if (i >= 3072)
                s.sats[1] = {44, 0, 0, 0, 35};  // never in the table
        }
        const QByteArray file = Export(b.data());
        const QList<QByteArray> rows = Section(file, "PRN_SNR");
        QCOMPARE(rows.size(), 3101);
        QCOMPARE(rows[3072], QByteArray(" 3071\t    21\t"));
        QCOMPARE(rows[3073], QByteArray(" 3072\t"));
    }

    // Whole logs against the analysis bytes checked in under tests/data/golden: real captures
    // with G-sensor lines put in, and the samples. VANTRAIL_WRITE_GOLDEN=1 rewrites them.
    void golden_data() {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<QString>("golden");
        for (const QString& name : RealLogNames()) {
            QTest::newRow(qPrintable(name))
                << WithGsensorLines(ReadRealLog(name)) << name + ".out_nmea.txt";
        }
        for (const char* name : {"REC0001.nmea", "REC0002.nmea", "REC0003.nmea"}) {
            QTest::newRow(name) << ReadFile(VANTRAIL_SOURCE_DIR "/samples/" + QString(name))
                                << QString("%1.out_nmea.txt").arg(name);
        }
    }
    void golden() {
        QFETCH(QByteArray, log);
        QFETCH(QString, golden);
        const std::unique_ptr<TrackEntry, decltype(&FreeTrack)> track(
            LoadTrack(WriteFile(tmp_->filePath("log.nmea"), log).toStdString(), ""), FreeTrack);
        const QByteArray file = Export(track.get());
        QCOMPARE(file, Golden(golden, file));
    }

    // A failure leaves the older analysis as it was and nothing beside it: a write cut short
    // (the file size limit standing in for a full disk) takes back its temporary file. An
    // empty track leaves no analysis.
    void failures_data() {
        QTest::addColumn<int>("entries");
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("sizeLimit");  // 0: none
        QTest::addColumn<int>("result");
        QTest::newRow("empty track") << 0 << "out_nmea.txt" << 0 << 0;
        QTest::newRow("no such folder")
            << 1 << "no/such/folder/out_nmea.txt" << 0 << kAnalysisOpenFailed;
        QTest::newRow("disk full") << 200 << "out_nmea.txt" << 4096 << kAnalysisWriteFailed;
    }
    void failures() {
        QFETCH(int, entries);
        QFETCH(QString, path);
        QFETCH(int, sizeLimit);
        QVERIFY(!WriteFile(out_, "an older analysis").isEmpty());
        const std::vector<TrackEntry> track = MakeTrack(entries);
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        if (sizeLimit != 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limited{rlim_t(sizeLimit), saved.rlim_max};
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        }
        const int got = ExportTrackAnalysis(entries != 0 ? track.data() : nullptr,
                                            tmp_->filePath(path).toStdString());
        setrlimit(RLIMIT_FSIZE, &saved);
        QTEST(got, "result");
        QCOMPARE(ReadFile(out_), entries != 0 ? "an older analysis" : "<missing>");
        QCOMPARE(QDir(tmp_->path()).entryList(QDir::Files | QDir::Hidden),
                 entries != 0 ? QStringList{"out_nmea.txt"} : QStringList{});
    }

    // A checksum-valid log can say anything: latitude 100, longitude -1000, speeds and
    // accelerations of inf, an altitude of -1e308, month 99, a name that is not UTF-8. Every
    // output stays valid XML or plain numbers, with no position off the earth (the entry has
    // no fix there), no impossible time and no inf or nan.
    void hostileLog() {
        const auto second = [](const QByteArray& where, const QByteArray& altitude,
                               const QByteArray& speedCourse, const QByteArray& date,
                               const QByteArray& gsensor) {
            return Nmea("GPGGA,123519," + where + ",1,08,0.9," + altitude + ",M,46.9,M,,", "\n") +
                   Nmea("GPRMC,123519,A," + where + "," + speedCourse + "," + date + ",003.1,W",
                        "\n") +
                   gsensor + "\n";
        };
        const QByteArray at = "4807.038,N,01131.000,E", plain = "$GSENSOR,0,0,1000";
        const QByteArray log =
            second("10040.2,N,01131.000,E", "1", "1,2", "230394", "$GSENSOR,500,0,1000") +
            second("4807.038,N,100040.2,W", "1", "1,2", "230394", plain) +
            second(at, "1", "1e999,1e999", "230394", plain) +
            second(at, "-1e308", "1,2", "230394", "$GSENSOR,0,0,2000") +
            second(at, "1", "1,2", "019913", "$GSENSORD,1e999,0,1");
        const std::unique_ptr<TrackEntry, decltype(&FreeTrack)> track(
            LoadTrack(WriteFile(tmp_->filePath("log.nmea"), log).toStdString(), ""), FreeTrack);
        const std::vector<DrivingEvent> events = FindDrivingEvents(track.get());
        const std::string name = "REC & \x01\xff\xc3(<\xed\xa0\x80\xf9\x80\x80\x80.nmea";
        const std::pair<QString, std::function<bool(std::FILE*)>> outputs[] = {
            {"gpx", [&](std::FILE* f) { return WriteGpx(f, track.get(), name); }},
            {"kml", [&](std::FILE* f) { return WriteKml(f, track.get(), events, name); }},
            {"csv", [&](std::FILE* f) { return WriteCsv(f, track.get()); }},
            {"events", [&](std::FILE* f) { return WriteEventsCsv(f, events); }},
        };
        QByteArray all =
            Export(track.get()) +
            QByteArray::fromStdString(FormatSummary(SummarizeTrack(track.get(), events)));
        for (const auto& [ext, write] : outputs) {
            const QString path = tmp_->filePath("hostile." + ext);
            QCOMPARE(WriteOutputFile(path.toStdString(), write), 0);
            const QByteArray got = ReadFile(path);
            QCOMPARE(got, Golden("hostile." + ext, got));
            QXmlStreamReader xml(got);
            while (ext.endsWith("ml") && !xml.atEnd()) xml.readNext();
            QVERIFY2(!xml.hasError(), qPrintable(ext + ": " + xml.errorString()));
            all += got;
        }
        const QRegularExpression notFinite("\\b(inf|nan)",
                                           QRegularExpression::CaseInsensitiveOption);
        QVERIFY(!QString::fromLatin1(all).contains(notFinite));
    }

    // A kill leaves its temporary under a hidden name; the next write of the same file removes
    // it, unless a writer still holds it.
    void staleTemporariesRemoved() {
        const QStringList kept{".other.txt.vantrail-k1ll3d", ".out_nmea.txt.vantrail-wr1t1n"};
        for (const QString& name : kept + QStringList{".out_nmea.txt.vantrail-k1ll3d"})
            WriteFile(tmp_->filePath(name), "partial");
        const int held = open(tmp_->filePath(kept[1]).toLocal8Bit().constData(), O_RDONLY);
        QCOMPARE(flock(held, LOCK_EX), 0);
        const QByteArray file = Export(MakeTrack(1).data());
        close(held);
        QVERIFY(file.startsWith("SNR"));
        QCOMPARE(QDir(tmp_->path()).entryList(QDir::Files | QDir::Hidden),
                 kept + QStringList{"out_nmea.txt"});
    }
};

QTEST_APPLESS_MAIN(TestTrackExport)
#include "test_track_export.moc"
