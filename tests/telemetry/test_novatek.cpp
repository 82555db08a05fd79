#include <QTemporaryDir>
#include <QTest>

#include "clip_builder.h"
#include "nmea_test_util.h"
#include "telemetry/box_walker.h"
#include "telemetry/per_second.h"
#include "telemetry/sample_table.h"
#include "telemetry/telemetry.h"
#include "track/track.h"

namespace {
GpsRecord Fix(char ns, char ew, float lat, float lon) {
    GpsRecord r;
    r.ns = ns;
    r.ew = ew;
    r.lat = lat;
    r.lon = lon;
    return r;
}

// One point as "date time fix lat,lon km/h course g=x,y,z", parts left out when absent.
QString Describe(const TelemetryPoint& p) {
    QStringList parts;
    if (p.has_time)
        parts << QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour,
                                   p.minute, p.second);
    if (p.valid)
        parts << QString::asprintf("fix %.6f,%.6f %.2f %.1f", p.lat, p.lon, p.speed_kmh, p.course);
    if (p.has_accel)
        parts << QString::asprintf("g=%g,%g,%g", p.ax, p.ay, p.az);
    return parts.isEmpty() ? "void" : parts.join(' ');
}

// The children of a box listing as "type@offset+payload", "!" marking a clipped one.
QString Listing(const FileReader& reader, const Box* parent) {
    QStringList out;
    BoxWalker walker = parent ? BoxWalker(reader, *parent) : BoxWalker(reader);
    Box b;
    while (walker.Next(&b)) {
        const char t[5] = {char(b.type >> 24), char(b.type >> 16), char(b.type >> 8), char(b.type),
                           0};
        out << QString("%1@%2+%3%4")
                   .arg(t)
                   .arg(b.offset)
                   .arg(b.payload_size)
                   .arg(b.truncated ? "!" : "");
    }
    return out.join(' ') + (walker.malformed() ? " malformed" : "");
}
}  // namespace

class TestNovatek : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> tmp_;

    std::string Write(const QByteArray& bytes) {
        return WriteFile(tmp_->filePath("clip.mp4"), bytes).toStdString();
    }

private slots:
    void init() { tmp_ = std::make_unique<QTemporaryDir>(); }

    // One block of each kind in an indexed clip: what its record gives.
    void records_data() {
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<QString>("point");
        GpsRecord axes = Fix('N', 'E', 4807.5f, 1131.25f);
        axes.ax = 256, axes.ay = -128, axes.az = 512;
        QTest::newRow("newer N E, axes") << Block(Layout::kNewer, axes)
                                         << "2024-05-06 07:08:09 fix 48.125000,11.520833 18.52 "
                                            "84.5 g=1,-0.5,2";
        QTest::newRow("newer S W") << Block(Layout::kNewer, Fix('S', 'W', 3346.5f, 15112.0f))
                                   << "2024-05-06 07:08:09 fix -33.775000,-151.200000 18.52 84.5";
        QTest::newRow("older S E") << Block(Layout::kOlder, Fix('S', 'E', 112.0f, 3654.0f))
                                   << "2024-05-06 07:08:09 fix -1.200000,36.900000 18.52 84.5";
        GpsRecord dated_void;
        dated_void.status = 'V';
        dated_void.ns = dated_void.ew = '\0';
        QTest::newRow("void with time")
            << Block(Layout::kNewer, dated_void) << "2024-05-06 07:08:09";
        GpsRecord far = Fix('N', 'E', 9999.0f, 1131.0f);
        QTest::newRow("latitude out of range")
            << Block(Layout::kOlder, far) << "2024-05-06 07:08:09";
        GpsRecord counting;
        counting.ax = 0x20001, counting.ay = 0x40003, counting.az = 0x60005;
        QTest::newRow("axes counting 1 to 6 are unset")
            << Block(Layout::kNewer, counting)
            << "2024-05-06 07:08:09 fix 48.125000,11.520833 18.52 84.5";
        QTest::newRow("cold start")
            << Block(Layout::kNewer, GpsRecord{}).left(16) + QByteArray(0xf0, '\0') << "void";
    }
    void records() {
        QFETCH(QByteArray, block);
        const QList<QByteArray> blocks{Block(Layout::kOlder, Fix('N', 'E', 1.0f, 1.0f)), block};
        const Telemetry t = ReadTelemetry(Write(Mp4(blocks)));
        QCOMPARE(t.layout, std::string("Novatek freeGPS"));
        QVERIFY(t.notes.empty());
        QTEST(Describe(t.points.back()), "point");
    }

    // Whole clips: where the blocks were found, how many seconds they gave, the first fix.
    void clips_data() {
        QTest::addColumn<QByteArray>("clip");
        QTest::addColumn<QString>("result");  // entries, first entry's position, note
        QList<QByteArray> three;
        GpsRecord r;
        for (r.second = 0; r.second < 3; ++r.second) three << Block(Layout::kNewer, r);
        const QString found = "3 48.125000 ";
        QTest::newRow("index") << Mp4(three) << found;
        QTest::newRow("outer box") << Mp4(three, {.wrap = true}) << found;
        const QString scanned = found + "clip.mp4: 3 GPS blocks found by scanning the clip";
        QTest::newRow("index removed") << Mp4(three, {.index = false}) << scanned;
        // The scan reads 4 MiB at a time: the first read ends inside the first record.
        QTest::newRow("scan across reads")
            << Mp4(three, {.index = false, .filler = (4 << 20) - 68}) << scanned;
        QTest::newRow("no moov") << Mp4(three, {.moov = false}) << scanned;
        QTest::newRow("mdat size 0, cut in the last block")
            << (Mp4(three, {.moov = false}).replace(20, 4, U32be(0)).chopped(0xe0))
            << "3 48.125000 clip.mp4: 3 GPS blocks found by scanning the clip";
        QTest::newRow("index outside the file")
            << Mp4(three, {.first_offset = 0xfffff000})
            << found + "clip.mp4: the gps index is pointing outside the file; scanning";
        QTest::newRow("index cut by the file's end")
            << Mp4(three).chopped(4) << found + "clip.mp4: the gps index is cut short; scanning";
        QTest::newRow("index short of the movie")
            << Mp4(three, {.movie_seconds = 60})
            << found + "clip.mp4: the gps index is short of the movie's length; scanning";
        QTest::newRow("index at something else")
            << Mp4(three, {.first_offset = 4})
            << found + "clip.mp4: the gps index is pointing at something else";
        QList<QByteArray> void_first{Block(Layout::kNewer, GpsRecord{}).left(16) +
                                     QByteArray(0xf0, '\0')};
        QTest::newRow("void block keeps its second") << Mp4(void_first + three) << "4 0.000000 ";
        QByteArray ligo = three[0];
        ligo.replace(16, 12, QByteArray("LIGOGPSINFO\0", 12));
        QTest::newRow("LIGOGPSINFO")
            << Mp4({ligo, ligo})
            << "0 - clip.mp4: GPS blocks in an encrypted layout (LIGOGPSINFO records), skipped";
        QByteArray text = three[0];
        text.replace(0x2c, 20, QByteArray("gNiiZ8JTtHca6tw=\0\0\0\0", 20));
        text.replace(0x40, 20, QByteArray("htuiZMJSsXUX7No=\0\0\0\0", 20));
        QTest::newRow("text coordinates") << Mp4({text})
                                          << "0 - clip.mp4: GPS blocks in an "
                                             "encrypted layout (text coordinates)";
        QByteArray doubles = Block(Layout::kOlder, GpsRecord{});
        doubles.replace(0x4c, 4, U32be(0));
        QTest::newRow("older layout with encrypted doubles")
            << Mp4({doubles}) << "0 - clip.mp4: GPS blocks in an encrypted layout (encrypted";
        QTest::newRow("no telemetry") << Mp4({}, {.index = false}) << "0 - ";
    }
    void clips() {
        QFETCH(QByteArray, clip);
        QFETCH(QString, result);
        const Telemetry t = ReadTelemetry(Write(clip));
        const std::vector<TrackSample> samples = SamplesPerSecond(t.points);
        double lat = 0, lon = 0;
        if (!samples.empty())
            NmeaToDegrees(samples[0].lat, samples[0].lon, &lat, &lon);
        QStringList notes;
        for (const std::string& note : t.notes) notes << QString::fromStdString(note);
        const QString got = QString("%1 %2 %3")
                                .arg(samples.size())
                                .arg(samples.empty() ? "-" : QString::number(lat, 'f', 6))
                                .arg(notes.join(" | "));
        // A row that names no note wants none.
        QCOMPARE(got.left(result.size()), result);
        if (result.endsWith(' '))
            QCOMPARE(got, result);
    }

    // The walker on hand-made boxes: never past the parent, never on a box too small for
    // its own header, never deeper than its limit.
    void walker_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("top");
        QTest::addColumn<QString>("inside");  // the children of the first box
        const QByteArray two = Atom("free", "ab") + Atom("skip", "");
        QTest::newRow("children") << Atom("moov", two) << "moov@0+18"
                                  << "free@8+2 skip@18+0";
        QTest::newRow("size 0 runs to the parent's end")
            << Atom("moov", U32be(0) + "free" + "abc") + Atom("mdat", "") << "moov@0+11 mdat@19+0"
            << "free@8+3";
        QTest::newRow("64-bit size")
            << U32be(1) + "mdat" + U64be(20) + "abcd" + Atom("moov", "") << "mdat@0+4 moov@20+0"
            << " malformed";
        QTest::newRow("absurd 64-bit size is clipped")
            << Atom("ftyp", "") + U32be(1) + "mdat" + U64be(~0ull) + "abcd"
            << "ftyp@0+0 mdat@8+4!"
            << "";
        QTest::newRow("child past its parent is clipped")
            << Atom("moov", U32be(100) + "trak" + "xy") + Atom("free", "") << "moov@0+10 free@18+0"
            << "trak@8+2!";
        QTest::newRow("size below the header") << Atom("ftyp", "") + U32be(4) + "free"
                                               << "ftyp@0+0 malformed"
                                               << "";
        QTest::newRow("64-bit size below its header")
            << U32be(1) + "mdat" + U64be(12) + Atom("moov", "") << " malformed"
            << "";
        QTest::newRow("truncated header")
            << Atom("ftyp", "") + QByteArray(3, '\0') << "ftyp@0+0 malformed"
            << "";
        QByteArray deep = Atom("free", "");
        for (int i = 0; i < kMaxBoxDepth + 4; ++i) deep = Atom("moov", deep);
        QTest::newRow("deep nesting") << deep << "moov@0+" + QString::number(deep.size() - 8)
                                      << "moov@8+" + QString::number(deep.size() - 16);
    }
    void walker() {
        QFETCH(QByteArray, file);
        const FileReader reader(Write(file));
        QTEST(Listing(reader, nullptr), "top");
        const std::vector<Box> boxes = ListBoxes(reader, nullptr);
        if (!boxes.empty())
            QTEST(Listing(reader, &boxes[0]), "inside");
        // However deep the nesting, a search stops at the limit.
        std::optional<Box> at = boxes.empty() ? std::nullopt : std::optional<Box>(boxes[0]);
        int depth = 0;
        while (at && at->type == FourCc("moov")) {
            at = FindBox(reader, &*at, FourCc("moov"));
            ++depth;
        }
        QVERIFY(depth <= kMaxBoxDepth);
    }

    // Sample tables: three chunks (two samples, then one each), 64-bit chunk offsets, two duration
    // runs; and tables that disagree, read as far as they agree.
    void sampleTables_data() {
        QTest::addColumn<QByteArray>("stsz");
        QTest::addColumn<QByteArray>("co64");
        QTest::addColumn<QByteArray>("stsc");
        QTest::addColumn<QString>("samples");  // offset/size/ms
        const QByteArray stsc = Atom("stsc", U32be(0) + U32be(2) + U32be(1) + U32be(2) + U32be(1) +
                                                 U32be(2) + U32be(1) + U32be(1));
        const QByteArray co64 =
            Atom("co64", U32be(0) + U32be(3) + U64be(100) + U64be(300) + U64be(500));
        const QByteArray sizes = Atom(
            "stsz", U32be(0) + U32be(0) + U32be(4) + U32be(10) + U32be(20) + U32be(30) + U32be(40));
        // The last sample's duration is the last one given.
        QTest::newRow("consistent")
            << sizes << co64 << stsc << "100/10/0 110/20/500 300/30/1000 500/40/2000";
        QTest::newRow("one size for all") << Atom("stsz", U32be(0) + U32be(8) + U32be(4)) << co64
                                          << stsc << "100/8/0 108/8/500 300/8/1000 500/8/2000";
        QTest::newRow("size table claims more than it holds")
            << Atom("stsz", U32be(0) + U32be(0) + U32be(1000) + U32be(10) + U32be(20)) << co64
            << stsc << "100/10/0 110/20/500";
        QTest::newRow("chunk outside the file")
            << sizes
            << Atom("co64", U32be(0) + U32be(3) + U64be(100) + U64be(300) + U64be(~0ull - 8))
            << stsc << "100/10/0 110/20/500 300/30/1000";
        QTest::newRow("no sample-to-chunk runs")
            << sizes << co64 << Atom("stsc", U32be(0) + U32be(0)) << "";
    }
    void sampleTables() {
        QFETCH(QByteArray, stsz);
        QFETCH(QByteArray, co64);
        QFETCH(QByteArray, stsc);
        const QByteArray stts =
            Atom("stts", U32be(0) + U32be(2) + U32be(2) + U32be(500) + U32be(1) + U32be(1000));
        const QByteArray stbl = Atom(
            "stbl", Atom("stsd", U32be(0) + U32be(1) + U32be(16) + "gpmd" + QByteArray(8, '\0')) +
                        stts + stsc + stsz + co64);
        const QByteArray mdia =
            Atom("mdia", Atom("mdhd", U32be(0) + U32be(0) + U32be(0) + U32be(1000) + U32be(0)) +
                             Atom("hdlr", U32be(0) + U32be(0) + "meta" + QByteArray(12, '\0')) +
                             Atom("minf", stbl));
        const QByteArray moov = Atom("moov", Atom("trak", Atom("tkhd", "") + mdia));
        const FileReader reader(Write(moov + QByteArray(400, 'x')));
        const std::vector<MediaTrack> tracks = ListTracks(reader, ListBoxes(reader, nullptr)[0]);
        QCOMPARE(tracks.size(), size_t{1});
        QCOMPARE(tracks[0].handler, FourCc("meta"));
        QCOMPARE(tracks[0].format, FourCc("gpmd"));
        QStringList got;
        for (const MediaSample& s : ReadSamples(reader, tracks[0]))
            got << QString("%1/%2/%3").arg(s.offset).arg(s.size).arg(s.time_ms);
        QTEST(got.join(' '), "samples");
    }

    // Records in a transport stream: on a PID the program map does not list, with or without
    // the camera's own header, in 188- or 192-byte packets; the listed stream is not read.
    void transportStream_data() {
        QTest::addColumn<int>("header");
        QTest::addColumn<bool>("timecodes");
        QTest::newRow("plain records") << 0 << false;
        QTest::newRow("camera header") << 164 << false;
        QTest::newRow("192-byte packets") << 0 << true;
    }
    void transportStream() {
        QFETCH(int, header);
        QFETCH(bool, timecodes);
        QByteArray ts = TsTables();
        GpsRecord r = Fix('S', 'W', 3346.5f, 15112.0f);
        for (int second = 0; second < 3; ++second) {
            r.second = second;
            ts += TsPacket(0x100, true, Pes(RecordBytes(Fix('N', 'E', 1, 1), true)));
            const QByteArray pes = Pes(QByteArray(header, 'h') + RecordBytes(r, true));
            ts += TsPacket(0x300, true, pes.left(184));
            if (pes.size() > 184)
                ts += TsPacket(0x300, false, pes.mid(184));
        }
        if (timecodes) {
            QByteArray wide;
            for (int at = 0; at < ts.size(); at += 188) wide += U32be(at) + ts.mid(at, 188);
            ts = wide;
        }
        const std::string path = WriteFile(tmp_->filePath("clip.ts"), ts).toStdString();
        const Telemetry t = ReadTelemetry(path);
        QCOMPARE(t.layout, std::string("Novatek MPEG-TS"));
        QStringList got;
        for (const TelemetryPoint& p : t.points) got << Describe(p);
        QCOMPARE(got.join(" | "),
                 QString("2024-05-06 07:08:00 fix -33.775000,-151.200000 18.52 84.5 | "
                         "2024-05-06 07:08:01 fix -33.775000,-151.200000 18.52 84.5 | "
                         "2024-05-06 07:08:02 fix -33.775000,-151.200000 18.52 84.5"));
    }
};

QTEST_GUILESS_MAIN(TestNovatek)
#include "test_novatek.moc"
