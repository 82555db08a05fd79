#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

#include <memory>

#include "app/app_state.h"
#include "app/message.h"
#include "nmea_test_util.h"
#include "real_logs.h"
#include "track/sentence_parser.h"
#include "track/text_line_reader.h"
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

using Track = std::unique_ptr<TrackEntry, decltype(&FreeTrack)>;

QList<TrackEntry*> Entries(TrackEntry* first) {
    QList<TrackEntry*> list;
    for (TrackEntry* e = first; e != nullptr; e = e->next) list << e;
    return list;
}
}  // namespace

class TestTrack : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> tmp_;
    QStringList messages_;

    QString Write(const QByteArray& bytes, const QString& name = "log.nmea") {
        const QString path = tmp_->filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return {};
        f.write(bytes);
        return path;
    }
    Track Load(const QByteArray& bytes) {
        return {LoadTrack(Write(bytes).toStdString()), FreeTrack};
    }

private slots:
    void init() {
        tmp_ = std::make_unique<QTemporaryDir>();
        QVERIFY(tmp_->isValid());
        theApp().moduleDir = tmp_->path().toStdString();
        SetUtcClock(FixedNow);
        SetAnalysisDestination(AnalysisDestination::None);
        messages_.clear();
        SetMessageHandler([this](const std::string& text, const std::string&) {
            messages_ << QString::fromStdString(text);
        });
    }
    void cleanup() {
        SetUtcClock({});
        SetMessageHandler({});
        SetAnalysisDestination(AnalysisDestination::ModuleFile);
        theParserSettings() = ParserSettings{};
        tmp_.reset();
    }

    void initSampleFromClock() {
        TrackSample s;
        std::memset(&s, 0x5a, sizeof s);
        InitSample(s);
        QCOMPARE(CheckFields(s,
                             "sentences=0 year=126 month=11 day=5 hour=10 minute=20 second=30 "
                             "hundredths=45 valid=0 fix_mode=1 lat=0 speed=0 x=0 inview_no=0 "
                             "sat23.snr=0"),
                 QString());
        using namespace std::chrono;
        SetUtcClock([] {
            return system_clock::time_point(sys_days(year(1969) / 12 / 31)) + hours(23) +
                   milliseconds(999);
        });
        InitSample(s);
        QCOMPARE(CheckFields(s, "year=69 month=11 day=31 hour=23 second=0 hundredths=99"),
                 QString());
    }

    // Whole logs: each row gives the log and what every entry must hold.
    void load_data() {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<QStringList>("entries");  // fields per entry, in order
        const QByteArray group = kGga + kGsa + kRmc + kVtg + kGsensor;
        QTest::newRow("GPS but no G-sensor line") << kGga + kGsa + kRmc + kVtg << QStringList();
        QTest::newRow("three plain groups")
            << group + group + group
            << QStringList{
                   "sentences=59 valid=1 year=94 month=2 day=23 hour=12 speed=10.2 "
                   "dir=54.7 x=-1 z=1",
                   "sentences=59", "sentences=59"};
        QTest::newRow("CRLF line ends") << QByteArray(group + group).replace("\n", "\r\n")
                                        << QStringList{"sentences=59 speed=10.2", "sentences=59"};
        QTest::newRow("GSV group gets the kept VTG line again")
            << group + kGga + kGsa + kGsv + kRmc + kVtg2 + kGsensor
            << QStringList{"sentences=59 speed=10.2",
                           "sentences=63 speed=10.2 dir=54.7 mag_dir=34.4 sat0.prn=4 inview_no=2"};
        QTest::newRow("GSV group without a kept line keeps its own VTG")
            << kGga + kGsa + kGsv + kRmc + kVtg2 + kGsensor
            << QStringList{"sentences=63 speed=20 dir=100 inuse_no=0"};
        QTest::newRow("two G-sensor lines in a row")
            << group + "$GSENSOR,500,250,-125\n"
            << QStringList{"sentences=59",
                           "sentences=48 x=0.5 y=0.25 z=-0.125 valid=0 lat=0 lon=0 speed=10.2 "
                           "dir=54.7 year=126 month=11 day=5 hour=10 minute=20 second=30 "
                           "hundredths=45"};
        QTest::newRow("groups without RMC keep the computer's date")
            << kGga + kGsa + kVtg + kGsensor
            << QStringList{"sentences=51 year=126 month=11 day=5 hour=12 minute=35 second=19"};
        QTest::newRow("G-sensor last line without line feed")
            << kGga + "$GSENSOR,1,2,3" << QStringList{"sentences=33 x=0.001 z=0.003 hour=12"};
        QTest::newRow("decimal G-sensor line")
            << QByteArray("$GSENSORD,0.5,-0.25,1\n") << QStringList{"x=0.5 y=-0.25 z=1"};
        QTest::newRow("rejected G-sensor line closes nothing") << kGga + "$GSENSOR,1\n"
                                                               << QStringList();
        QTest::newRow("two-field G-sensor line: the appended A is the third")
            << QByteArray("$GSENSOR,1,2\n") << QStringList{"x=0.001 y=0.002 z=0"};
        QTest::newRow("lower-case G-sensor line is not one") << kGga + "$gsensor,1,2,3\n"
                                                             << QStringList();
        QTest::newRow("NUL ends the line text")
            << QByteArray("$GSENSOR,1,2,3\0garbage\n", 23) + QByteArray("\0$GSENSOR,4,5,6\n", 16)
            << QStringList{"x=0.001"};
        QTest::newRow("Ctrl-Z is ordinary data") << "\x1a\n" + kGsensor << QStringList{"x=-1"};
        QTest::newRow("long G-sensor line: only its first piece counts")
            << "$GSENSOR,7,8,9," + QByteArray(400, 'p') + "\n" + kGsensor
            << QStringList{"x=0.007 y=0.008 z=0.009", "x=-1"};
        QTest::newRow("100,000-character line then a group")
            << QByteArray(100000, 'a') + "\n" + group << QStringList{"sentences=59"};
        QTest::newRow("sentence with its own checksum waits in the buffer")
            << "$GSENSOR,1,2,3*1F\n" + group << QStringList();
        // The CR starts the next line, so no line begins with "$GSENSOR,".
        QTest::newRow("LF CR ends hide the G-sensor lines")
            << QByteArray(group).replace("\n", "\n\r") << QStringList();
    }
    void load() {
        QFETCH(QByteArray, log);
        QFETCH(QStringList, entries);
        const Track track = Load(log);
        const QList<TrackEntry*> list = Entries(track.get());
        QCOMPARE(list.size(), entries.size());
        for (int i = 0; i < list.size(); ++i) {
            QCOMPARE(list[i]->index, i);
            const QString diff = CheckFields(list[i]->sample, entries[i]);
            QVERIFY2(diff.isEmpty(), qPrintable(QString("entry %1: %2").arg(i).arg(diff)));
        }
    }

    // A line held up by a checksum without LF CR blocks the lines after it until the buffer
    // overflows; after that the groups load again.
    void stuckSentenceReleasedByOverflow() {
        QByteArray log = "$GSENSOR,1,2,3*1F\n";
        const QByteArray group = kGga + kGsa + kRmc + kVtg + kGsensor;
        for (int i = 0; i < 30; ++i) log += group;
        const Track track = Load(log);
        const int count = int(Entries(track.get()).size());
        QVERIFY(count > 20);
        QVERIFY(count < 30);
    }

    void unreadableLogsGiveEmptyTrack_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("missing file") << "missing.nmea";
        QTest::newRow("directory") << ".";
        QTest::newRow("empty path") << "";
    }
    void unreadableLogsGiveEmptyTrack() {
        QFETCH(QString, path);
        const QString full = path.isEmpty() ? path : tmp_->filePath(path);
        QVERIFY(LoadTrack(full.toStdString()) == nullptr);
        QVERIFY(messages_.isEmpty());
    }

    void binaryJunkLoadsWithoutHarm() {
        QByteArray junk;
        quint32 x = 2463534242u;
        for (int i = 0; i < 200000; ++i) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            junk += char(x);
            if (i % 997 == 0)
                junk += "$GSENSOR,";
            if (i % 1301 == 0)
                junk += '\n';
        }
        const Track track = Load(junk);
        for (TrackEntry* e : Entries(track.get())) QVERIFY(e->sample.sentences & kSentenceGsensor);
    }

    // Each capture loads with G-sensor lines put in; the GPS values reach the entries.
    void realLogs_data() {
        QTest::addColumn<QString>("name");
        for (const QString& name : RealLogNames()) QTest::newRow(qPrintable(name)) << name;
    }
    void realLogs() {
        QFETCH(QString, name);
        const QByteArray raw = ReadRealLog(name);
        QVERIFY(!raw.isEmpty());
        // As captured, nothing closes a sample.
        QVERIFY(Load(raw).get() == nullptr);
        const QByteArray log = WithGsensorLines(raw);
        const Track track = Load(log);
        const QList<TrackEntry*> list = Entries(track.get());
        const int gsensor_lines = int(log.count("$GSENSOR,"));
        if (name.startsWith("ublox"))
            return;  // binary: anything but a crash will do
        QCOMPARE(list.size(), gsensor_lines);
        int fixes = 0;
        for (TrackEntry* e : list) {
            if (e->sample.valid > 0) {
                ++fixes;
                QVERIFY(e->sample.lat != 0);
                QVERIFY(e->sample.sentences & (kSentenceGga | kSentenceRmc));
            }
        }
        // Captures with GP talkers and a fix give valid entries; the multi-GNSS one has
        // only GN talkers for its positions.
        if (name != "neo-m8n.log" && name != "mtk-3301.log")
            QVERIFY2(fixes > 0, "no fix");
    }

    void realLogValues() {
        const Track track = Load(WithGsensorLines(ReadRealLog("gpslim236.log")));
        const QList<TrackEntry*> list = Entries(track.get());
        QCOMPARE(list.size(), 20);
        // GSA comes before the GSV sentences of its second, so it marks no slot in use.
        QCOMPARE(CheckFields(list[0]->sample,
                             "sentences=63 valid=1 fix_mode=3 lat=4854.2575 lon=219.9816 hour=18 "
                             "minute=52 second=44 hundredths=0 year=106 month=6 day=21 "
                             "altitude=124.4 hdop=1.7 pdop=2.8 vdop=2.2 dir=296.61 speed=0 "
                             "inview_no=11 inuse_no=0 sat0.prn=30 sat0.elevation=79 "
                             "sat0.azimuth=308 sat0.snr=20 sat6.prn=25 sat6.snr=0 sat10.prn=20 "
                             "sat11.prn=0"),
                 QString());
        QCOMPARE(CheckFields(list[1]->sample,
                             "sentences=57 lon=219.9815 second=45 altitude=124.1 inview_no=0 "
                             "sat0.prn=0 fix_mode=2 valid=1"),
                 QString());
    }

    void walking() {
        const QByteArray group = kGga + kGsa + kRmc + kVtg + kGsensor;
        const Track track = Load(group + group + group);
        TrackEntry* cursor = track.get();
        QCOMPARE(CurrentSample(cursor), track.get());
        QCOMPARE(AdvanceSample(cursor)->index, 1);
        QCOMPARE(CurrentSample(cursor)->index, 1);
        QCOMPARE(AdvanceSample(cursor)->index, 2);
        QVERIFY(AdvanceSample(cursor) == nullptr);
        QVERIFY(cursor == nullptr);
        QVERIFY(CurrentSample(cursor) == nullptr);
        QVERIFY(AdvanceSample(cursor) == nullptr);
        QCOMPARE(FindSample(track.get(), 2)->index, 2);
        QCOMPARE(FindSample(track.get(), 0), track.get());
        QVERIFY(FindSample(track.get(), 3) == nullptr);
        QVERIFY(FindSample(track.get(), -1) == nullptr);
        QVERIFY(FindSample(nullptr, 0) == nullptr);
    }

    void fileType_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("type");
        QTest::newRow("MOV") << "/v/REC0001.MOV" << 1;
        QTest::newRow("mov") << "rec.mov" << 1;
        QTest::newRow("Mov") << "rec.Mov" << 0;
        QTest::newRow("TS") << "rec.TS" << 2;
        QTest::newRow("last point counts") << "a.b.ts" << 2;
        QTest::newRow("NMEA") << "rec.NMEA" << 3;
        QTest::newRow("nmea") << "/v/rec.nmea" << 3;
        QTest::newRow("other") << "rec.avi" << 0;
        QTest::newRow("point at end") << "rec." << 0;
        QTest::newRow("point in folder only") << "/v.d/rec" << 0;
        QTest::newRow("no point") << "REC0001" << -1;
    }
    void fileType() {
        QFETCH(QString, path);
        QFETCH(int, type);
        QCOMPARE(FileTypeFromExtension(path.toUtf8().constData()), type);
    }
    void fileTypeOfNoPath() { QCOMPARE(FileTypeFromExtension(nullptr), -1); }

    void nmeaToDegrees_data() {
        QTest::addColumn<double>("nmea");
        QTest::addColumn<double>("degrees");
        QTest::newRow("north") << 4807.038 << 48.1173;
        QTest::newRow("south") << -4807.038 << -48.1173;
        QTest::newRow("whole minutes") << 1131.0 << 11.516666666666667;
        QTest::newRow("zero") << 0.0 << 0.0;
        QTest::newRow("under a degree") << -30.0 << -0.5;
    }
    void nmeaToDegrees() {
        QFETCH(double, nmea);
        QFETCH(double, degrees);
        double lat = 1;
        double lon = 1;
        NmeaToDegrees(nmea, -nmea, &lat, &lon);
        QVERIFY2(std::fabs(lat - degrees) < 1e-12, qPrintable(QString::number(lat, 'g', 17)));
        QVERIFY(std::fabs(lon + degrees) < 1e-12);
    }

    // The analysis goes where the setting says, by default beside the executable.
    void analysisDestination() {
        const QByteArray group = kGga + kGsa + kRmc + kVtg + kGsensor;
        const QString module_file = tmp_->filePath("out_nmea.txt");
        SetAnalysisDestination(AnalysisDestination::ModuleFile);
        FreeTrack(LoadTrack(Write(group).toStdString()));
        QVERIFY(QFile::exists(module_file));
        // A log without entries removes the previous analysis.
        QVERIFY(LoadTrack(Write(kGga).toStdString()) == nullptr);
        QVERIFY(!QFile::exists(module_file));

        const QString other = tmp_->filePath("elsewhere.txt");
        SetAnalysisDestination(AnalysisDestination::Path, other.toStdString());
        FreeTrack(LoadTrack(Write(group).toStdString()));
        QVERIFY(QFile::exists(other));
        QVERIFY(!QFile::exists(module_file));

        SetAnalysisDestination(AnalysisDestination::None);
        QVERIFY(QFile::remove(other));
        FreeTrack(LoadTrack(Write(group).toStdString()));
        QVERIFY(!QFile::exists(other));
        QVERIFY(!QFile::exists(module_file));
    }

    void parserErrorsDoNotStopLoading() {
        QStringList errors;
        theParserSettings().on_error = [&errors](const char* text, int length) {
            errors << QString::fromUtf8(text, length);
        };
        const QByteArray bad_vtg = Nmea("GPVTG,054.7,T,,,005.5,N,010.2,K", "\n");
        const Track track = Load(bad_vtg + kGsensor + kVtg + kGsensor);
        QCOMPARE(Entries(track.get()).size(), 2);
        QCOMPARE(errors, QStringList{"GPVTG parse error (format error)!"});
        QCOMPARE(track->sample.speed, 0.0);
        QCOMPARE(track->next->sample.speed, 10.2);
    }
};

// Pieces of a file as a text-mode fgets with 260 bytes gives them.
class TestTextLineReader : public QObject {
    Q_OBJECT

private slots:
    void pieces_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QList<QByteArray>>("pieces");
        using L = QList<QByteArray>;
        QTest::newRow("empty") << QByteArray() << L{};
        QTest::newRow("CR LF becomes LF") << QByteArray("a\r\nb\n") << L{"a\n", "b\n"};
        QTest::newRow("lone CR kept") << QByteArray("a\rb\n") << L{"a\rb\n"};
        QTest::newRow("only the CR before LF dropped") << QByteArray("a\r\r\n") << L{"a\r\n"};
        QTest::newRow("LF CR") << QByteArray("a\n\rb\n") << L{"a\n", "\rb\n"};
        QTest::newRow("no final line feed") << QByteArray("a\nb") << L{"a\n", "b"};
        QTest::newRow("CR at the end") << QByteArray("a\r") << L{"a\r"};
        QTest::newRow("NUL passed through")
            << QByteArray("a\0b\n", 4) << L{QByteArray("a\0b\n", 4)};
        QTest::newRow("258 and LF: one piece") << QByteArray(258, 'x') + "\n"
                                               << L{QByteArray(258, 'x') + "\n"};
        QTest::newRow("258 and CR LF: one piece") << QByteArray(258, 'x') + "\r\n"
                                                  << L{QByteArray(258, 'x') + "\n"};
        QTest::newRow("259 and LF: two pieces") << QByteArray(259, 'x') + "\n"
                                                << L{QByteArray(259, 'x'), "\n"};
        QTest::newRow("259 and CR LF: two pieces") << QByteArray(259, 'x') + "\r\n"
                                                   << L{QByteArray(259, 'x'), "\n"};
        QTest::newRow("600 characters")
            << QByteArray(600, 'y') + "\n"
            << L{QByteArray(259, 'y'), QByteArray(259, 'y'), QByteArray(82, 'y') + "\n"};
        QTest::newRow("600 without line feed")
            << QByteArray(600, 'y')
            << L{QByteArray(259, 'y'), QByteArray(259, 'y'), QByteArray(82, 'y')};
        // Lines that cross the reader's block boundaries, CR LF split included.
        QByteArray many;
        L many_pieces;
        for (int i = 0; i < 1100; ++i) {
            const QByteArray text = QByteArray(200 + i % 59, char('a' + i % 26));
            many += text + "\r\n";
            many_pieces << text + "\n";
        }
        QTest::newRow("many lines over block boundaries") << many << many_pieces;
    }
    void pieces() {
        QFETCH(QByteArray, file);
        QFETCH(QList<QByteArray>, pieces);
        QTemporaryDir tmp;
        const QString path = tmp.filePath("f");
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(file);
        }
        const int fd = open(path.toLocal8Bit().constData(), O_RDONLY);
        QVERIFY(fd >= 0);
        TextLineReader reader(fd);
        QList<QByteArray> got;
        std::string_view piece;
        while (reader.Next(&piece)) got << QByteArray(piece.data(), qsizetype(piece.size()));
        close(fd);
        QCOMPARE(got.size(), pieces.size());
        QCOMPARE(got, pieces);
    }
};

int main(int argc, char** argv) {
    int status = 0;
    {
        TestTrack t;
        status |= QTest::qExec(&t, argc, argv);
    }
    {
        TestTextLineReader t;
        status |= QTest::qExec(&t, argc, argv);
    }
    return status;
}
#include "test_track.moc"
