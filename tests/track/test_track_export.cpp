#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <memory>
#include <vector>

#include "app/format.h"
#include "app/message.h"
#include "nmea_test_util.h"
#include "real_logs.h"
#include "track/track.h"
#include "track/track_export.h"
#include "track/utc_clock.h"

namespace {
// The analysis written the plain way, one printf per piece, as a reference.
QByteArray ReferenceAnalysis(const TrackEntry* first) {
    std::string t;
    std::vector<std::vector<int>> table(3072, std::vector<int>(100, 0));
    int best[24] = {};
    int best_index[24] = {};
    t += "SNR\n      index\tutc(hh:mm:ss yy/mm/dd)";
    for (int k = 1; k <= 24; ++k) t += FormatText("G%02d\t", k);
    t += "inview_no\tinuse_no\t\n";
    int i = 0;
    for (const TrackEntry* e = first; e; e = e->next, ++i) {
        const TrackSample& s = e->sample;
        t += FormatText("%11d\t   %02d:%02d:%02d %04d/%02d/%02d", i, s.hour, s.minute, s.second,
                        s.year + 1900, s.month + 1, s.day);
        for (int k = 0; k < 24; ++k) {
            t += FormatText("%3d\t", s.sats[k].snr);
            if (s.sats[k].snr > best[k]) {
                best[k] = s.sats[k].snr;
                best_index[k] = i;
            }
            if (i < 3072 && s.sats[k].prn >= 0 && s.sats[k].prn <= 99) {
                table[i][s.sats[k].prn] = s.sats[k].snr;
            }
        }
        t += FormatText("%9d\t", s.inview_no) + FormatText("%8d\t\n", s.inuse_no);
    }
    const int entries = i;
    t += "max_snr_idx\t";
    for (const int v : best_index) t += FormatText("%3d\t", v);
    t += "\n    max_snr\t";
    for (const int v : best) t += FormatText("%3d\t", v);
    t += "\n\nPRN_SNR\nindex\t";
    std::vector<int> columns;
    for (int p = 0; p < 100; ++p) {
        // The totals are 32-bit and wrap.
        uint32_t total = 0;
        for (int r = 0; r < std::min(entries, 3072); ++r) total += uint32_t(table[r][p]);
        if (int32_t(total) > 0) {
            columns.push_back(p);
            t += FormatText("PRN_%02d\t", p);
        }
    }
    t += "\n";
    for (int r = 0; r < entries; ++r) {
        t += FormatText("%5d\t", r);
        if (r < 3072) {
            for (const int p : columns) t += FormatText("%6d\t", table[r][p]);
        }
        t += "\n";
    }
    for (const char* title : {"\nPRN number\n", "\nIN_USED\n"}) {
        t += title;
        t += "index\t";
        for (int k = 1; k <= 24; ++k) t += FormatText("G%02d\t", k);
        t += "\n";
        i = 0;
        for (const TrackEntry* e = first; e; e = e->next, ++i) {
            t += FormatText("%5d\t", i);
            for (const SatelliteSlot& slot : e->sample.sats) {
                t += FormatText("%3d\t", title[1] == 'P' ? slot.prn : slot.used);
            }
            t += "\n";
        }
    }
    t += "\nGPS_INFO\nindex\tvalid       lon\t     lat\t    dir\t\tspeed\t     x\t     y\t     "
         "z\tutc(hh:mm:ss yy/mm/dd)\n";
    i = 0;
    for (const TrackEntry* e = first; e; e = e->next, ++i) {
        const TrackSample& s = e->sample;
        t += FormatText("%5d\t", i);
        t += FormatText(
            "%5d\t%6.3f\t%6.3f\t%6.3f\t\t%3.1f\t%6.3f\t%6.3f\t%6.3f\t%02d:%02d:%02d "
            "%04d/%02d/%02d\n",
            s.valid, s.lon, s.lat, s.dir, s.speed, s.x, s.y, s.z, s.hour, s.minute, s.second,
            s.year + 1900, s.month + 1, s.day);
    }
    return QByteArray::fromStdString(ToTextMode(t));
}

// A track built in memory, entry by entry.
class TrackBuilder {
public:
    ~TrackBuilder() { FreeTrack(first_); }
    TrackSample& Add() {
        auto* e = new TrackEntry{count_++, {}, nullptr};
        e->sample.year = 117;
        e->sample.day = 5;
        e->sample.hour = 9;
        e->sample.minute = 5;
        e->sample.second = 3;
        *tail_ = e;
        tail_ = &e->next;
        return e->sample;
    }
    const TrackEntry* first() const { return first_; }

private:
    TrackEntry* first_ = nullptr;
    TrackEntry** tail_ = &first_;
    int32_t count_ = 0;
};

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// The lines of one section, CR LF removed, from its title to the next empty line.
QList<QByteArray> Section(const QByteArray& file, const QByteArray& title) {
    QList<QByteArray> lines = file.split('\n');
    for (QByteArray& l : lines) l.chop(l.endsWith('\r') ? 1 : 0);
    const qsizetype start = lines.indexOf(title);
    if (start < 0)
        return {};
    QList<QByteArray> out;
    for (qsizetype i = start + 1; i < lines.size() && !lines[i].isEmpty(); ++i) out << lines[i];
    return out;
}
}  // namespace

class TestTrackExport : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> tmp_;
    QStringList messages_;
    QString out_;

    QByteArray Export(const TrackEntry* first, int expected_result = 0) {
        const int result = ExportTrackAnalysis(first, out_.toStdString());
        if (result != expected_result)
            return "<result " + QByteArray::number(result) + ">";
        return ReadAll(out_);
    }

private slots:
    void init() {
        tmp_ = std::make_unique<QTemporaryDir>();
        QVERIFY(tmp_->isValid());
        out_ = tmp_->filePath("out_nmea.txt");
        messages_.clear();
        SetMessageHandler([this](const std::string& text, const std::string& caption) {
            messages_ << QString::fromStdString(caption + ": " + text);
        });
        SetUtcClock(FixedNow);
        SetAnalysisDestination(AnalysisDestination::None);
    }
    void cleanup() {
        SetMessageHandler({});
        SetUtcClock({});
        SetAnalysisDestination(AnalysisDestination::ModuleFile);
        tmp_.reset();
    }

    void oneEntryTwoSatellites() {
        TrackBuilder b;
        TrackSample& s = b.Add();
        s.sats[0] = {5, 1, 40, 120, 40};
        s.sats[1] = {12, 0, 10, 200, 0};
        s.inview_no = 2;
        s.inuse_no = 1;
        const QByteArray file = Export(b.first());
        QCOMPARE(file, ReferenceAnalysis(b.first()));
        const QList<QByteArray> snr = Section(file, "SNR");
        QCOMPARE(snr.size(), 4);
        QCOMPARE(snr[1], "          0\t   09:05:03 2017/01/05 40\t  0\t" +
                             QByteArray("  0\t").repeated(22) + "        2\t       1\t");
        QCOMPARE(snr[2], "max_snr_idx\t" + QByteArray("  0\t").repeated(24));
        QCOMPARE(snr[3], "    max_snr\t 40\t" + QByteArray("  0\t").repeated(23));
        QCOMPARE(Section(file, "PRN_SNR"),
                 (QList<QByteArray>{"index\tPRN_05\t", "    0\t    40\t"}));
        QCOMPARE(Section(file, "PRN number")[1],
                 "    0\t  5\t 12\t" + QByteArray("  0\t").repeated(22));
        QCOMPARE(Section(file, "IN_USED")[1], "    0\t  1\t" + QByteArray("  0\t").repeated(23));
        QVERIFY(file.startsWith("SNR\r\n      index\tutc(hh:mm:ss yy/mm/dd)G01\tG02\t"));
        QVERIFY(file.contains("\r\n\r\nPRN_SNR\r\n"));
        QVERIFY(!file.contains("\n\n"));
    }

    void gpsInfoRows_data() {
        QTest::addColumn<double>("lat");
        QTest::addColumn<double>("lon");
        QTest::addColumn<double>("speed");
        QTest::addColumn<QByteArray>("row");
        QTest::newRow("south and west") << -2503.123 << -4540.5 << 41.4848
                                        << QByteArray(
                                               "    0\t    1\t-4540.500\t-2503.123\t54.700\t"
                                               "\t41.5\t-1.000\t 0.000\t 1.000\t09:05:03 "
                                               "2017/01/05");
        QTest::newRow("no fix: negative zero") << -0.0 << -0.0 << 0.0
                                               << QByteArray(
                                                      "    0\t    1\t-0.000\t-0.000\t54.700\t"
                                                      "\t0.0\t-1.000\t 0.000\t 1.000\t09:05:03 "
                                                      "2017/01/05");
        QTest::newRow("rounding ties to even") << 0.0625 << 0.0005 << 0.25
                                               << QByteArray(
                                                      "    0\t    1\t 0.001\t 0.062\t54.700\t"
                                                      "\t0.2\t-1.000\t 0.000\t 1.000\t09:05:03 "
                                                      "2017/01/05");
    }
    void gpsInfoRows() {
        QFETCH(double, lat);
        QFETCH(double, lon);
        QFETCH(double, speed);
        QFETCH(QByteArray, row);
        TrackBuilder b;
        TrackSample& s = b.Add();
        s.valid = 1;
        s.lat = lat;
        s.lon = lon;
        s.speed = speed;
        s.dir = 54.7;
        s.x = -1;
        s.z = 1;
        const QByteArray file = Export(b.first());
        QCOMPARE(Section(file, "GPS_INFO").value(1), row);
        QCOMPARE(file, ReferenceAnalysis(b.first()));
    }

    void prnColumnsAcrossEntries() {
        TrackBuilder b;
        b.Add().sats[0] = {7, 0, 0, 0, 30};
        b.Add().sats[3] = {9, 0, 0, 0, 25};
        TrackSample& third = b.Add();
        third.sats[0] = {7, 0, 0, 0, 33};
        third.sats[1] = {7, 0, 0, 0, 31};    // a later slot with the same PRN wins
        third.sats[2] = {100, 0, 0, 0, 50};  // outside the table
        third.sats[4] = {-1, 0, 0, 0, 50};
        const QByteArray file = Export(b.first());
        QCOMPARE(file, ReferenceAnalysis(b.first()));
        QCOMPARE(Section(file, "PRN_SNR"),
                 (QList<QByteArray>{"index\tPRN_07\tPRN_09\t", "    0\t    30\t     0\t",
                                    "    1\t     0\t    25\t", "    2\t    31\t     0\t"}));
        // PRN 100 still shows in the PRN number section.
        QVERIFY(Section(file, "PRN number")[3].startsWith("    2\t  7\t  7\t100\t  0\t -1\t"));
        // Ties keep the earlier entry; slot 2's best is 50 in entry 2.
        QVERIFY(Section(file, "SNR")[4].startsWith("max_snr_idx\t  2\t  2\t  2\t  1\t  2\t"));
    }

    void tableRowsEndAt3072() {
        TrackBuilder b;
        for (int i = 0; i < 3100; ++i) {
            TrackSample& s = b.Add();
            s.sats[0] = {3, 1, 0, 0, 20 + i % 5};
            if (i >= 3072)
                s.sats[1] = {44, 0, 0, 0, 35};  // never in the table
        }
        const QByteArray file = Export(b.first());
        QCOMPARE(file, ReferenceAnalysis(b.first()));
        const QList<QByteArray> rows = Section(file, "PRN_SNR");
        QCOMPARE(rows.size(), 3101);
        QCOMPARE(rows[0], QByteArray("index\tPRN_03\t"));
        QCOMPARE(rows[3072], QByteArray(" 3071\t    21\t"));
        QCOMPARE(rows[3073], QByteArray(" 3072\t"));
        QCOMPARE(rows[3100], QByteArray(" 3099\t"));
    }

    void oddValuesMatchPrintf() {
        TrackBuilder b;
        const double doubles[] = {1e300,  -1e300, HUGE_VAL,  -HUGE_VAL, std::nan(""),
                                  5e-324, 1e15,   -999.9995, 0.05,      123456789.987654321};
        for (const double v : doubles) {
            TrackSample& s = b.Add();
            s.lat = v;
            s.lon = -v;
            s.speed = v;
            s.dir = v / 3;
            s.x = v * 7;
            s.year = 2147483647 - 1900;
            s.month = -1;
            s.hour = -5;
            s.valid = -2147483647 - 1;
            s.sats[5] = {50, 1, 0, 0, 2147483647};
            s.sats[6] = {51, 1, 0, 0, -2147483647 - 1};
        }
        QCOMPARE(Export(b.first()), ReferenceAnalysis(b.first()));
    }

    void realLogs_data() {
        QTest::addColumn<QString>("name");
        for (const QString& name : RealLogNames()) QTest::newRow(qPrintable(name)) << name;
    }
    void realLogs() {
        QFETCH(QString, name);
        const QString log = tmp_->filePath("log.nmea");
        QFile f(log);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(WithGsensorLines(ReadRealLog(name)));
        f.close();
        TrackEntry* track = LoadTrack(log.toStdString());
        const QByteArray file = Export(track);
        const QByteArray want = track ? ReferenceAnalysis(track) : QByteArray("<missing>");
        FreeTrack(track);
        QCOMPARE(file, want);
    }

    void emptyTrackRemovesOldFile() {
        QFile f(out_);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("old");
        f.close();
        QCOMPARE(ExportTrackAnalysis(nullptr, out_.toStdString()), 0);
        QVERIFY(!QFile::exists(out_));
        QVERIFY(messages_.isEmpty());
    }

    void rewrittenNotAppended() {
        TrackBuilder b;
        b.Add();
        const QByteArray once = Export(b.first());
        QCOMPARE(Export(b.first()), once);
    }

    void unwritablePath_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("missing folder") << "no/such/folder/out_nmea.txt";
        QTest::newRow("a folder") << "folder";
    }
    void unwritablePath() {
        QFETCH(QString, path);
        QVERIFY(QDir(tmp_->path()).mkpath("folder/inside"));
        out_ = tmp_->filePath(path);
        TrackBuilder b;
        b.Add();
        QCOMPARE(ExportTrackAnalysis(b.first(), out_.toStdString()), -1);
        QCOMPARE(messages_, QStringList{"Vantrail: Open out nmea file fail!"});
    }
};

QTEST_APPLESS_MAIN(TestTrackExport)
#include "test_track_export.moc"
