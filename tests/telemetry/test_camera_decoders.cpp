// The decoders of each camera family on inputs built from the documented layouts.

#include <QTemporaryDir>
#include <QTest>

#include <cmath>

#include "clip_builder.h"
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

// Big-endian integers of a size.
QByteArray Ints(std::initializer_list<int64_t> values, int bytes = 4) {
    QByteArray out;
    for (const int64_t v : values) {
        for (int i = bytes - 1; i >= 0; --i) out += char(uint64_t(v) >> (8 * i));
    }
    return out;
}

// A GPMF record, its data padded to four bytes; a nest when type is 0.
QByteArray Klv(const char* key, char type, int size, int repeat, QByteArray data) {
    data.resize(size * repeat, '\0');
    data += QByteArray((4 - data.size() % 4) % 4, '\0');
    return QByteArray(key, 4) + type + char(size) + Ints({repeat}, 2) + data;
}
QByteArray Nest(const char* key, const QByteArray& inner) {
    return Klv(key, '\0', 4, int(inner.size() / 4), inner);
}

// A movie of one track whose samples lie in an mdat before the moov, a chunk each, each lasting
// delta ms.
QByteArray Movie(const char* handler, const char* format, const QByteArrayList& samples,
                 int delta) {
    const int n = int(samples.size());
    QByteArray data, sizes, offsets;
    for (const QByteArray& sample : samples) {
        offsets += Ints({8 + data.size()});
        sizes += Ints({sample.size()});
        data += sample;
    }
    const QByteArray stbl =
        Atom("stsd", Ints({0, 1}) + Atom(format, QByteArray(8, '\0'))) +
        Atom("stts", Ints({0, 1, n, delta})) + Atom("stsc", Ints({0, 1, 1, 1, 1})) +
        Atom("stsz", Ints({0, 0, n}) + sizes) + Atom("stco", Ints({0, n}) + offsets);
    const QByteArray mdia = Atom("mdhd", Ints({0, 0, 0, 1000, 0, 0})) +
                            Atom("hdlr", Ints({0, 0}) + handler + QByteArray(12, '\0')) +
                            Atom("minf", Atom("stbl", stbl));
    return Atom("mdat", data) + Atom("moov", Atom("trak", Atom("mdia", mdia)));
}

// A 70mai record: two words, the second, speed, then the packed hemispheres and coordinates.
QByteArray MaiRecord(int second, int speed, char ns, int lat, char ew, int lon) {
    return U32le(1) + U32le(1) + U32le(second) + U32le(speed) + ns + U32le(lat) + ew + U32le(lon) +
           QByteArray(10, '\0');
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
const QByteArray k3gfAtRest = Ints({0}) + Ints({128, -64, 32}, 2);
const QByteArray kThinkwareRmc =
    Nmea("GNRMC,161313.00,A,4529.87489,N,07337.01215,W,6.225,35.34,310819,,,A", "\r\n");
}  // namespace

class TestCameraDecoders : public QObject {
    Q_OBJECT

private slots:
    // Each decoder on bytes built from its layout. decoder: "rmc", "gps", "3gf", "70mai NAME",
    // "thinkware" (a sample 7 s into the clip) or "gpmf" (a payload from 5 s, lasting 1 s).
    void decoders_data() {
        QTest::addColumn<QString>("decoder");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        QTest::newRow("RMC, GN talker") << "rmc" << kRmc << kRmcPoint;
        QTest::newRow("RMC, BD talker, no $")
            << "rmc" << Nmea("BDRMC,120000,A,0100.000,N,00200.000,W,,,010124,,", "").mid(1)
            << "2024-01-01T12:00:00.000 1.000000,-2.000000";
        QTest::newRow("RMC, other talker")
            << "rmc" << Nmea("GXRMC,120000,A,0100.000,N,00200.000,W,,,010124,,") << "";
        QTest::newRow("RMC, checksum wrong") << "rmc" << QByteArray(kRmc).replace("*", "0*") << "";
        const QByteArray rmc = "GPRMC,205424.00,A,3754.48531,S,14520.62279,E,0.165,,260918,,,";
        const QString void_fix = "2018-09-26T20:54:24.000 void";
        QTest::newRow("RMC, status V")
            << "rmc" << Nmea(QByteArray(rmc).replace(",A,", ",V,") + "A") << void_fix;
        QTest::newRow("RMC, 60 minutes")
            << "rmc" << Nmea(QByteArray(rmc).replace("54.", "60.") + "A") << void_fix;

        // The GGA of the second counter already carries the next second's time.
        QTest::newRow("BlackVue gps, GN talkers, NUL padding")
            << "gps"
            << "[1538216648173]\n[1538216648173]" + kRmc + "[1538216648173]" + Gga("06") +
                   "[1538216649174]" + Rmc("07") + "[1538216649174]" + Gga("08") +
                   "[1538216650175]" + QByteArray(300, '\0')
            << "t=0 " + kRmcPoint + " s7 112.1m; t=1001 " +
                   QString(kRmcPoint).replace("24:06", "24:07");
        QTest::newRow("BlackVue gps, GGA first, bad checksum")
            << "gps"
            << "[500]" + Gga("06") + "[500]" + kRmc + "[1500]" + QByteArray(kRmc).replace("*", "0*")
            << "t=0 " + kRmcPoint + " s7 112.1m";
        const QByteArray braking = Ints({100}) + Ints({120, 0, -96}, 2);
        const QString both = "t=0 g(-0.500,0.250,1.000); t=100 g(0.000,-0.750,0.938)";
        QTest::newRow("BlackVue 3gf, end marker")
            << "3gf" << k3gfAtRest + braking + QByteArray(10, '\xff') + k3gfAtRest << both;
        QTest::newRow("BlackVue 3gf, cut record")
            << "3gf" << k3gfAtRest + braking + k3gfAtRest.left(9) << both;

        // A fix, a record without one, then the zeros that end the records.
        const QByteArray mai = MaiRecord(1, 45500, 'N', 5944796, 'E', 3006074) +
                               MaiRecord(2, 0, '\0', 0, '\0', 0) + QByteArray(36, '\0') +
                               MaiRecord(3, 45500, 'N', 5944796, 'E', 3006074);
        const QString fix = "59.746600,30.101233 45.50kmh";
        QTest::newRow("70mai") << "70mai NO20191226-084003-000598.MP4" << mai
                               << "t=1000 2019-12-26T08:40:04.000 " + fix +
                                      "; t=2000 2019-12-26T08:40:05.000 void";
        QTest::newRow("70mai no such day")
            << "70mai NO20190230-084003-000598.MP4" << mai << "t=1000 " + fix + "; t=2000";

        const QString think =
            "t=7000 2019-08-31T16:13:13.000 45.497915,-73.616869 11.53kmh "
            "35.34deg g(-0.523,-0.094,0.781)";
        const QByteArray reading = "gsensori,4,512,-67,-12,100;";
        QTest::newRow("Thinkware without $")
            << "thinkware" << reading + kThinkwareRmc.mid(1) + ";CAR,0,0,0,0.0,0,0" << think;
        QTest::newRow("Thinkware with $, after a length word")
            << "thinkware" << QByteArray("\0\x50", 2) + reading + kThinkwareRmc << think;
        QTest::newRow("Thinkware, no fix yet") << "thinkware" << reading + "GNRMC,,V,,,,,,,,,,N*4D"
                                               << "t=7000 g(-0.523,-0.094,0.781)";
        QTest::newRow("Thinkware, no reading")
            << "thinkware" << QByteArray("gsensori,4,0,1,2,3;") << "";

        const QByteArray gps5 =
            Klv("GPSF", 'L', 4, 1, Ints({3})) + Klv("GPSU", 'U', 16, 1, "230517123456.500") +
            Klv("SCAL", 'l', 4, 5, Ints({10000000, 10000000, 1000, 1000, 100})) +
            Klv("GPS5", 'l', 20, 2,
                Ints({454978000, -736169000, 123456, 10000, 1000, 454979000, -736170000, 123400,
                      10500, 1050}));
        QTest::newRow("GPS5 with SCAL")
            << "gpmf" << Nest("DEVC", Klv("DVNM", 'c', 11, 1, "Hero6 Black") + Nest("STRM", gps5))
            << "t=5000 2023-05-17T12:34:56.500 45.497800,-73.616900 36.00kmh 123.5m; "
               "t=5500 2023-05-17T12:34:57.000 45.497900,-73.617000 37.80kmh 123.4m";
        QTest::newRow("GPS5, no fix")
            << "gpmf" << Nest("DEVC", Nest("STRM", QByteArray(gps5).replace(Ints({3}), Ints({0}))))
            << "t=5000 2023-05-17T12:34:56.500 void; t=5500 2023-05-17T12:34:57.000 void";
        QTest::newRow("GPS5, cut short")
            << "gpmf" << Nest("DEVC", Nest("STRM", gps5)).left(gps5.size()) << "";
        const QByteArray gps9 =
            Klv("TYPE", 'c', 1, 9, "lllllllSS") +
            Klv("SCAL", 'l', 4, 9, Ints({10000000, 10000000, 1000, 1000, 100, 1, 1000, 100, 1})) +
            Klv("GPS9", '?', 32, 1,
                Ints({454978000, -736169000, 123456, 10000, 1000, 8537, 45296500}) +
                    Ints({120, 3}, 2));
        QTest::newRow("GPS9")
            << "gpmf" << Nest("DEVC", Nest("STRM", gps9))
            << "t=5000 2023-05-17T12:34:56.500 45.497800,-73.616900 36.00kmh 123.5m";
        // The same camera-frame reading stored in a HERO6's Y,-X,Z order and in ORIN's.
        const QByteArray scal = Klv("SCAL", 's', 2, 1, Ints({418}, 2));
        QTest::newRow("ACCL in the model's order")
            << "gpmf"
            << Nest("DEVC", Klv("DVNM", 'c', 11, 1, "Hero6 Black") +
                                Nest("STRM", scal + Klv("ACCL", 's', 6, 2,
                                                        Ints({0, 0, 4100, 2050, -1025, 4100}, 2))))
            << "t=5000 g(0.000,0.000,1.000); t=5500 g(0.250,0.500,1.000)";
        QTest::newRow("ACCL with ORIN")
            << "gpmf"
            << Nest("DEVC", Nest("STRM", scal + Klv("ORIN", 'c', 3, 1, "ZXY") +
                                             Klv("ACCL", 's', 6, 1, Ints({4100, 1025, 2050}, 2))))
            << "t=5000 g(0.250,0.500,1.000)";
    }
    void decoders() {
        QFETCH(QString, decoder);
        QFETCH(QByteArray, bytes);
        std::vector<TelemetryPoint> points(1);
        if (decoder == "rmc" && !ReadRmc({bytes.constData(), size_t(bytes.size())}, points[0]))
            points.clear();
        else if (decoder == "gps")
            points = DecodeBlackVueGps(View(bytes));
        else if (decoder == "3gf")
            points = DecodeBlackVue3gf(View(bytes));
        else if (decoder.startsWith("70mai"))
            points =
                DecodeSeventyMaiGps(View(bytes), SeventyMaiClipStart(decoder.mid(6).toStdString()));
        else if (decoder == "thinkware")
            points = DecodeThinkwareSample(View(bytes), 7000);
        else if (decoder == "gpmf")
            points = DecodeGpmf(View(bytes), 5000, 1000);
        QTEST(Describe(points), "expected");
    }

    // Whole files through the table of families: the first is read, the others lie beside it.
    void families_data() {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QByteArrayList>("files");
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("expected");
        const QByteArray ftyp = Atom("ftyp", "isom");
        const QString fix_and_reading = "t=0 " + kRmcPoint + "; t=0 g(-0.500,0.250,1.000)";
        QTest::newRow("BlackVue clip")
            << QStringList{"20180929_002406_NF.mp4"}
            << QByteArrayList{ftyp +
                              Atom("free", Atom("gps ", "[1000]" + kRmc + QByteArray(16, '\0')) +
                                               Atom("3gf ", k3gfAtRest + QByteArray(10, '\xff'))) +
                              Atom("mdat", {})}
            << "BlackVue" << fix_and_reading;
        QTest::newRow("BlackVue .gps with its .3GF") << QStringList{"REC_0001.gps", "REC_0001.3GF"}
                                                     << QByteArrayList{"[1000]" + kRmc, k3gfAtRest}
                                                     << "BlackVue .gps file" << fix_and_reading;
        QTest::newRow("70mai clip")
            << QStringList{"NO20191226-084003-000598.MP4"}
            << QByteArrayList{ftyp + Atom("GPS ", MaiRecord(1, 0, 'N', 5944796, 'E', 3006074))}
            << "70mai GPS box"
            << "t=1000 2019-12-26T08:40:04.000 59.746600,30.101233 0.00kmh";
        const QByteArray accel =
            Nest("DEVC",
                 Nest("STRM", Klv("ORIN", 'c', 3, 1, "ZXY") +
                                  Klv("ACCL", 'f', 12, 2, Ints({0x411ce80a, 0, 0}).repeated(2))));
        // The last sample lasts as long as the one before.
        QTest::newRow("GoPro clip")
            << QStringList{"GX010001.MP4"}
            << QByteArrayList{Movie("meta", "gpmd", {accel, accel}, 1001)} << "GoPro GPMF"
            << "t=0 g(0.000,0.000,1.000); t=500 g(0.000,0.000,1.000); "
               "t=1001 g(0.000,0.000,1.000); t=1501 g(0.000,0.000,1.000)";
    }
    void families() {
        QFETCH(QStringList, names);
        QFETCH(QByteArrayList, files);
        QTemporaryDir dir;
        for (int i = 0; i < names.size(); ++i)
            QVERIFY(!WriteFile(dir.filePath(names[i]), files[i]).isEmpty());
        const Telemetry telemetry = ReadTelemetry(dir.filePath(names[0]).toStdString());
        QTEST(QString::fromStdString(telemetry.layout), "layout");
        QTEST(Describe(telemetry.points), "expected");
    }
};

QTEST_APPLESS_MAIN(TestCameraDecoders)
#include "test_camera_decoders.moc"
