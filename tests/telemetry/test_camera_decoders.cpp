// The decoders of each camera family on inputs built from the documented layouts.

#include <QTemporaryDir>
#include <QTest>

#include <cmath>

#include "nmea_test_util.h"
#include "telemetry/blackvue.h"
#include "telemetry/gpmf.h"
#include "telemetry/nmea_sentence.h"
#include "telemetry/seventymai.h"
#include "telemetry/telemetry.h"
#include "telemetry/thinkware.h"

namespace {
// "t=clip_ms date time lat,lon speed course sats altitude g(x,y,z)", each part only when the
// point has it; "void" for a dated point without a fix.
QString Describe(const TelemetryPoint& p) {
    QStringList parts;
    if (p.clip_ms >= 0)
        parts << QString("t=%1").arg(p.clip_ms);
    if (p.has_time)
        parts << QString::asprintf("%04d-%02d-%02dT%02d:%02d:%02d.%03d", p.year, p.month, p.day,
                                   p.hour, p.minute, p.second, p.millisecond);
    if (p.valid)
        parts << QString::asprintf("%.6f,%.6f", p.lat, p.lon);
    else if (p.has_time)
        parts << "void";
    if (!std::isnan(p.speed_kmh))
        parts << QString::asprintf("%.2fkmh", p.speed_kmh);
    if (!std::isnan(p.course))
        parts << QString::asprintf("%.2fdeg", p.course);
    if (p.satellites >= 0)
        parts << QString("s%1").arg(p.satellites);
    if (!std::isnan(p.altitude))
        parts << QString::asprintf("%.1fm", p.altitude);
    if (p.has_accel)
        parts << QString::asprintf("g(%.3f,%.3f,%.3f)", p.ax, p.ay, p.az);
    return parts.join(' ');
}

QString Describe(const std::vector<TelemetryPoint>& points) {
    QStringList all;
    for (const TelemetryPoint& p : points) all << Describe(p);
    return all.join("; ");
}

std::span<const uint8_t> View(const QByteArray& bytes) {
    return {reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())};
}

QByteArray Be(int64_t value, int bytes) {
    QByteArray out;
    for (int i = bytes - 1; i >= 0; --i) out += char(uint64_t(value) >> (8 * i));
    return out;
}

QByteArray LeBytes(uint32_t value) {
    QByteArray out = Be(value, 4);
    std::reverse(out.begin(), out.end());
    return out;
}

// A GPMF record, its data padded to four bytes; a nest when type is 0.
QByteArray Klv(const char* key, char type, int size, int repeat, QByteArray data) {
    data.resize(size * repeat, '\0');
    QByteArray out = QByteArray(key, 4) + type + char(size) + Be(repeat, 2) + data;
    return out + QByteArray((4 - data.size() % 4) % 4, '\0');
}
QByteArray Nest(const char* key, const QByteArray& inner) {
    return Klv(key, '\0', 4, int(inner.size() / 4), inner);
}
QByteArray Atom(const char* type, const QByteArray& payload) {
    return Be(8 + payload.size(), 4) + QByteArray(type, 4) + payload;
}

// A movie of one track whose samples lie in an mdat before the moov, a chunk each, each lasting
// delta ms.
QByteArray Movie(const char* handler, const char* format, const QList<QByteArray>& samples,
                 int delta) {
    const QByteArray zero = Be(0, 4);
    const QByteArray one = Be(1, 4);
    const QByteArray count = Be(samples.size(), 4);
    QByteArray data, sizes, offsets;
    for (const QByteArray& sample : samples) {
        offsets += Be(8 + data.size(), 4);
        sizes += Be(sample.size(), 4);
        data += sample;
    }
    const QByteArray stbl = Atom("stsd", zero + one + Atom(format, QByteArray(8, '\0'))) +
                            Atom("stts", zero + one + count + Be(delta, 4)) +
                            Atom("stsc", zero + one + one + one + one) +
                            Atom("stsz", zero + zero + count + sizes) +
                            Atom("stco", zero + count + offsets);
    const QByteArray mdia =
        Atom("mdhd", zero + zero + zero + Be(1000, 4) + zero + zero) +
        Atom("hdlr", zero + zero + QByteArray(handler, 4) + QByteArray(12, '\0')) +
        Atom("minf", Atom("stbl", stbl));
    return Atom("mdat", data) + Atom("moov", Atom("trak", Atom("mdia", mdia)));
}

QByteArray Longs(std::initializer_list<int64_t> values, int bytes = 4) {
    QByteArray out;
    for (const int64_t v : values) out += Be(v, bytes);
    return out;
}

// The fix of a second (ss) as BlackVue's receiver writes it.
QByteArray Rmc(const char* ss) {
    return Nmea(
        "GNRMC,0024" + QByteArray(ss) + ".00,A,3753.63717,S,14518.49970,E,0.074,,290918,,,D",
        "\r\n");
}
QByteArray Gga(const char* ss) {
    return Nmea(
        "GNGGA,0024" + QByteArray(ss) + ".00,3753.63717,S,14518.49970,E,2,07,1.12,112.1,M,,M,,",
        "\r\n");
}
const QByteArray kRmc = Rmc("06");
const QString kRmcPoint = "2018-09-29T00:24:06.000 -37.893953,145.308328 0.14kmh";
const QByteArray k3gfAtRest = Longs({0}) + Longs({128, -64, 32}, 2);
const QByteArray kThinkwareRmc =
    Nmea("GNRMC,161313.00,A,4529.87489,N,07337.01215,W,6.225,35.34,310819,,,A", "\r\n");
}  // namespace

class TestCameraDecoders : public QObject {
    Q_OBJECT

private slots:
    void rmcSentences_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("GN talker") << kRmc << kRmcPoint;
        QTest::newRow("BD talker, no $")
            << Nmea("BDRMC,120000,A,0100.000,N,00200.000,W,,,010124,,", "").mid(1)
            << "2024-01-01T12:00:00.000 1.000000,-2.000000";
        QTest::newRow("other talker")
            << Nmea("GXRMC,120000,A,0100.000,N,00200.000,W,,,010124,,") << "";
        QTest::newRow("checksum wrong") << QByteArray(kRmc).replace("*", "0*") << "";
        QTest::newRow("cut by padding") << kRmc.left(30) + QByteArray(8, '\0') + kRmc.mid(30) << "";
        QTest::newRow("status V dates it only")
            << Nmea("GPRMC,205424.00,V,3754.48531,S,14520.62279,E,0.165,,260918,,,A")
            << "2018-09-26T20:54:24.000 void";
        QTest::newRow("mode N is no fix")
            << Nmea("GPRMC,205424.00,A,3754.48531,S,14520.62279,E,0.165,,260918,,,N")
            << "2018-09-26T20:54:24.000 void";
        QTest::newRow("60 minutes is no fix")
            << Nmea("GPRMC,205424.00,A,3760.00000,S,14520.62279,E,0.165,,260918,,,A")
            << "2018-09-26T20:54:24.000 void";
        QTest::newRow("cold start") << Nmea("GPRMC,,V,,,,,,,,,,N") << "";
    }
    void rmcSentences() {
        QFETCH(QByteArray, text);
        QFETCH(QString, expected);
        TelemetryPoint point;
        QCOMPARE(
            ReadRmc({text.constData(), size_t(text.size())}, point) ? Describe(point) : QString(),
            expected);
    }

    void blackVueGps_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("expected");
        // The GGA of the second counter already carries the next second's time.
        QTest::newRow("GN talkers, NUL padding")
            << "[1538216648173]\n[1538216648173]" + kRmc + "[1538216648173]" + Gga("06") +
                   "[1538216649174]" + Rmc("07") + "[1538216649174]" + Gga("08") +
                   "[1538216650175]" + QByteArray(300, '\0')
            << "t=0 " + kRmcPoint + " s7 112.1m; t=1001 " +
                   QString(kRmcPoint).replace("24:06", "24:07");
        QTest::newRow("GGA before RMC, bad checksum dropped")
            << "[500]" + Gga("06") + "[500]" + kRmc + "[1500]" + QByteArray(kRmc).replace("*", "0*")
            << "t=0 " + kRmcPoint + " s7 112.1m";
    }
    void blackVueGps() {
        QFETCH(QByteArray, text);
        QFETCH(QString, expected);
        QCOMPARE(Describe(DecodeBlackVueGps(View(text))), expected);
    }

    void blackVue3gf_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        const QByteArray at_rest = k3gfAtRest;
        const QByteArray braking = Longs({100}) + Longs({120, 0, -96}, 2);
        const QString both = "t=0 g(-0.500,0.250,1.000); t=100 g(0.000,-0.750,0.938)";
        QTest::newRow("end marker") << at_rest + braking + QByteArray(10, '\xff') + at_rest << both;
        QTest::newRow("cut record") << at_rest + braking + at_rest.left(9) << both;
    }
    void blackVue3gf() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        QCOMPARE(Describe(DecodeBlackVue3gf(View(bytes))), expected);
    }

    void seventyMaiNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("normal") << "NO20191226-084003-000598.MP4"
                                << "2019-12-26T08:40:03.000";
        QTest::newRow("event in a folder") << "/card/Event/EV20200127-170409-000017_s.MP4"
                                           << "2020-01-27T17:04:09.000";
        QTest::newRow("parking") << "PA20231231-235959-000001.MP4"
                                 << "2023-12-31T23:59:59.000";
        QTest::newRow("other prefix") << "XX20191226-084003-000598.MP4"
                                      << "";
        QTest::newRow("no such day") << "NO20190230-084003-000598.MP4"
                                     << "";
        QTest::newRow("renamed") << "NO20191226_084003_000598.MP4"
                                 << "";
    }
    void seventyMaiNames() {
        QFETCH(QString, name);
        QFETCH(QString, expected);
        TelemetryPoint point;
        if (const auto start = SeventyMaiClipStart(name.toStdString()))
            SetPointTime(point, *start);
        QCOMPARE(Describe(point).section(' ', 0, 0), expected);
    }

    void seventyMaiRecords() {
        const auto record = [](uint32_t second, uint32_t speed, char ns, uint32_t lat, char ew,
                               uint32_t lon) {
            return LeBytes(1) + LeBytes(1) + LeBytes(second) + LeBytes(speed) + ns + LeBytes(lat) +
                   ew + LeBytes(lon) + QByteArray(10, '\0');
        };
        const QByteArray box = record(1, 45500, 'N', 5944796, 'E', 3006074) +
                               record(2, 0, '\0', 0, '\0', 0) + QByteArray(36, '\0') +
                               record(3, 45500, 'N', 5944796, 'E', 3006074);
        const auto start = SeventyMaiClipStart("NO20191226-084003-000598.MP4");
        QCOMPARE(Describe(DecodeSeventyMaiGps(View(box), start)),
                 "t=1000 2019-12-26T08:40:04.000 59.746600,30.101233 45.50kmh; "
                 "t=2000 2019-12-26T08:40:05.000 void");
        QCOMPARE(Describe(DecodeSeventyMaiGps(View(box.left(40)), std::nullopt)),
                 "t=1000 59.746600,30.101233 45.50kmh");
    }

    void thinkwareSamples_data() {
        QTest::addColumn<QByteArray>("sample");
        QTest::addColumn<QString>("expected");
        const QString fix = "t=7000 2019-08-31T16:13:13.000 45.497915,-73.616869 11.53kmh 35.34deg";
        const QString accel = "g(-0.523,-0.094,0.781)";
        QTest::newRow("without $")
            << "gsensori,4,512,-67,-12,100;" + kThinkwareRmc.mid(1) + ";CAR,0,0,0,0.0,0,0"
            << fix + " " + accel;
        QTest::newRow("with $ after a length word")
            << QByteArray("\0\x50", 2) + "gsensori,4,512,-67,-12,100;" + kThinkwareRmc
            << fix + " " + accel;
        QTest::newRow("no fix yet")
            << QByteArray("gsensori,4,512,-67,-12,100;GNRMC,,V,,,,,,,,,,N*4D") << "t=7000 " + accel;
        QTest::newRow("no reading") << QByteArray("gsensori,4,0,1,2,3;") << "";
    }
    void thinkwareSamples() {
        QFETCH(QByteArray, sample);
        QFETCH(QString, expected);
        QCOMPARE(Describe(DecodeThinkwareSample(View(sample), 7000)), expected);
    }

    void gpmfPayloads_data() {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("expected");
        const QByteArray gps5 =
            Klv("GPSF", 'L', 4, 1, Longs({3})) + Klv("GPSU", 'U', 16, 1, "230517123456.500") +
            Klv("SCAL", 'l', 4, 5, Longs({10000000, 10000000, 1000, 1000, 100})) +
            Klv("GPS5", 'l', 20, 2,
                Longs({454978000, -736169000, 123456, 10000, 1000, 454979000, -736170000, 123400,
                       10500, 1050}));
        QTest::newRow("GPS5 with SCAL")
            << Nest("DEVC", Klv("DVNM", 'c', 11, 1, "Hero6 Black") + Nest("STRM", gps5))
            << "t=5000 2023-05-17T12:34:56.500 45.497800,-73.616900 36.00kmh 123.5m; "
               "t=5500 2023-05-17T12:34:57.000 45.497900,-73.617000 37.80kmh 123.4m";
        QTest::newRow("no fix") << Nest("DEVC", Nest("STRM", QByteArray(gps5).replace(Longs({3}),
                                                                                      Longs({0}))))
                                << "t=5000 2023-05-17T12:34:56.500 void; "
                                   "t=5500 2023-05-17T12:34:57.000 void";
        QTest::newRow("cut short") << Nest("DEVC", Nest("STRM", gps5)).left(gps5.size()) << "";
        QTest::newRow("GPS9")
            << Nest(
                   "DEVC",
                   Nest(
                       "STRM",
                       Klv("TYPE", 'c', 1, 9, "lllllllSS") +
                           Klv("SCAL", 'l', 4, 9,
                               Longs({10000000, 10000000, 1000, 1000, 100, 1, 1000, 100, 1})) +
                           Klv("GPS9", '?', 32, 1,
                               Longs({454978000, -736169000, 123456, 10000, 1000, 8537, 45296500}) +
                                   Longs({120, 3}, 2))))
            << "t=5000 2023-05-17T12:34:56.500 45.497800,-73.616900 36.00kmh 123.5m";
        // The same camera-frame reading stored in a HERO6's Y,-X,Z order and in ORIN's.
        const QByteArray scal = Klv("SCAL", 's', 2, 1, Longs({418}, 2));
        QTest::newRow("ACCL in the model's order")
            << Nest("DEVC", Klv("DVNM", 'c', 11, 1, "Hero6 Black") +
                                Nest("STRM", scal + Klv("ACCL", 's', 6, 2,
                                                        Longs({0, 0, 4100, 2050, -1025, 4100}, 2))))
            << "t=5000 g(0.000,0.000,1.000); t=5500 g(0.250,0.500,1.000)";
        QTest::newRow("ACCL with ORIN")
            << Nest("DEVC", Nest("STRM", scal + Klv("ORIN", 'c', 3, 1, "ZXY") +
                                             Klv("ACCL", 's', 6, 1, Longs({4100, 1025, 2050}, 2))))
            << "t=5000 g(0.250,0.500,1.000)";
    }
    void gpmfPayloads() {
        QFETCH(QByteArray, payload);
        QFETCH(QString, expected);
        QCOMPARE(Describe(DecodeGpmf(View(payload), 5000, 1000)), expected);
    }

    // Whole files through the table of families.
    void families_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("sidecar");  // a second file beside it, when not empty
        QTest::addColumn<QByteArray>("sidecarBytes");
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("expected");
        const QByteArray ftyp = Atom("ftyp", "isom");
        const QString fix = "t=0 " + kRmcPoint;
        const QString at_rest = "t=0 g(-0.500,0.250,1.000)";
        QTest::newRow("BlackVue clip")
            << "20180929_002406_NF.mp4"
            << ftyp +
                   Atom("free", Atom("gps ", "[1000]" + kRmc + QByteArray(16, '\0')) +
                                    Atom("3gf ", k3gfAtRest + QByteArray(10, '\xff'))) +
                   Atom("mdat", {})
            << "" << QByteArray() << "BlackVue" << fix + "; " + at_rest;
        QTest::newRow("BlackVue .gps with its .3GF")
            << "REC_0001.gps"
            << "[1000]" + kRmc << "REC_0001.3GF" << k3gfAtRest << "BlackVue .gps file"
            << fix + "; " + at_rest;
        QTest::newRow("70mai clip")
            << "NO20191226-084003-000598.MP4"
            << ftyp + Atom("GPS ", LeBytes(1) + LeBytes(1) + LeBytes(1) + LeBytes(0) + 'N' +
                                       LeBytes(5944796) + 'E' + LeBytes(3006074) +
                                       QByteArray(10, '\0'))
            << "" << QByteArray() << "70mai GPS box"
            << "t=1000 2019-12-26T08:40:04.000 59.746600,30.101233 0.00kmh";
        const QByteArray accel =
            Nest("DEVC",
                 Nest("STRM", Klv("ORIN", 'c', 3, 1, "ZXY") +
                                  Klv("ACCL", 'f', 12, 2, Longs({0x411ce80a, 0, 0}).repeated(2))));
        // The last sample lasts as long as the one before.
        QTest::newRow("GoPro clip") << "GX010001.MP4" << Movie("meta", "gpmd", {accel, accel}, 1001)
                                    << "" << QByteArray() << "GoPro GPMF"
                                    << "t=0 g(0.000,0.000,1.000); t=500 g(0.000,0.000,1.000); "
                                       "t=1001 g(0.000,0.000,1.000); t=1501 g(0.000,0.000,1.000)";
        const QByteArray sample = "gsensori,4,512,0,0,128;" + kThinkwareRmc;
        QTest::newRow("Thinkware clip")
            << "REC_2019_08_31_16_13_13_F.MP4" << Movie("text", "text", {sample, sample}, 1000)
            << "" << QByteArray() << "Thinkware text track"
            << "t=0 2019-08-31T16:13:13.000 45.497915,-73.616869 11.53kmh 35.34deg "
               "g(0.000,0.000,1.000); "
               "t=1000 2019-08-31T16:13:13.000 45.497915,-73.616869 11.53kmh 35.34deg "
               "g(0.000,0.000,1.000)";
    }
    void families() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, sidecar);
        QFETCH(QByteArray, sidecarBytes);
        QFETCH(QString, layout);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        QVERIFY(!WriteFile(dir.filePath(name), bytes).isEmpty());
        if (!sidecar.isEmpty())
            QVERIFY(!WriteFile(dir.filePath(sidecar), sidecarBytes).isEmpty());
        const Telemetry telemetry = ReadTelemetry(dir.filePath(name).toStdString());
        QCOMPARE(QString::fromStdString(telemetry.layout), layout);
        QCOMPARE(Describe(telemetry.points), expected);
    }
};

QTEST_APPLESS_MAIN(TestCameraDecoders)
#include "test_camera_decoders.moc"
