#include <QTest>

#include <cstring>
#include <string>
#include <vector>

#include "nmea_test_util.h"
#include "track/sentence_parser.h"
#include "track/track.h"
#include "track/utc_clock.h"

namespace {
struct Recorder {
    QStringList errors;
    QList<QByteArray> sentences;
};

TrackSample FreshSample() {
    TrackSample s;
    InitSample(s);
    return s;
}
}  // namespace

class TestSentenceParser : public QObject {
    Q_OBJECT

    Recorder rec_;

private slots:
    void init() {
        rec_ = {};
        theParserSettings().on_error = [this](const char* text, int length) {
            rec_.errors << QString::fromUtf8(text, length);
        };
        theParserSettings().on_sentence = [this](const char* bytes, int length) {
            rec_.sentences << QByteArray(bytes, length);
        };
        SetUtcClock(FixedNow);
    }
    void cleanup() {
        theParserSettings() = ParserSettings{};
        SetUtcClock({});
    }

    void frame_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("accepted");
        const QByteArray gga = Nmea("GPGGA,1");
        QTest::newRow("valid checksum") << gga << int(gga.size()) << true;
        QByteArray lower = Nmea("GPVTG,10");  // checksum 7F
        lower[lower.size() - 3] = 'f';
        QTest::newRow("lower-case hex") << lower << int(lower.size()) << true;
        QTest::newRow("checksum 00 passes") << QByteArray("$GPXYZ,junk*00\n\r") << 16 << true;
        QTest::newRow("wrong checksum") << QByteArray("$GPXYZ,junk*12\n\r") << 16 << false;
        QTest::newRow("no star yet") << QByteArray("$GPGGA,1,2,3") << 0 << false;
        QTest::newRow("star, tail short") << QByteArray("$GPGGA,1*00\n") << 0 << false;
        QTest::newRow("CR LF is not the tail") << QByteArray("$GPGGA,1*00\r\n") << 0 << false;
        QTest::newRow("extra byte after checksum") << QByteArray("$GPGGA,1*00x\n\r") << 0 << false;
        QTest::newRow("dollar ends the walk") << QByteArray("$GPGGA,1,$GPRMC*00\n\r") << 9 << false;
        QTest::newRow("first byte not examined") << QByteArray("$$") << 1 << false;
        QTest::newRow("hex stops at non-hex") << QByteArray("$A*4G\n\r") << 7 << false;
        QTest::newRow("blank before digit reads 0") << QByteArray("$A* 4\n\r") << 7 << true;
        QTest::newRow("sign reads 0") << QByteArray("$A*+4\n\r") << 7 << true;
        // 'A' is 0x41; "41" matches.
        QTest::newRow("single sentence of one letter") << QByteArray("$A*41\n\r") << 7 << true;
        QTest::newRow("only what the length allows")
            << QByteArray("$A*41\n\r$B*42\n\r") << 7 << true;
    }
    void frame() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, length);
        QFETCH(bool, accepted);
        const FrameResult r = FrameSentence(bytes.constData(), size_t(bytes.size()));
        QCOMPARE(int(r.length), length);
        if (length != 0)
            QCOMPARE(r.accepted, accepted);
    }

    void classify_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("kind");
        QTest::newRow("GGA") << QByteArray("GPGGA,") << int(kSentenceGga);
        QTest::newRow("GSA") << QByteArray("GPGSA") << int(kSentenceGsa);
        QTest::newRow("GSV") << QByteArray("GPGSV,") << int(kSentenceGsv);
        QTest::newRow("RMC") << QByteArray("GPRMC,") << int(kSentenceRmc);
        QTest::newRow("VTG") << QByteArray("GPVTG,") << int(kSentenceVtg);
        QTest::newRow("GSENSOR") << QByteArray("GSENSOR,") << int(kSentenceGsensor);
        QTest::newRow("GSENSORD") << QByteArray("GSENSORD,") << int(kSentenceGsensor);
        QTest::newRow("other talker") << QByteArray("GNGGA,") << int(kSentenceNone);
        QTest::newRow("four bytes") << QByteArray("GPGG") << int(kSentenceNone);
        QTest::newRow("lower case") << QByteArray("gpgga,") << int(kSentenceNone);
    }
    void classify() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, kind);
        QCOMPARE(int(ClassifySentence(bytes.constData(), size_t(bytes.size()))), kind);
    }

    // Three int destinations preset to -7, so "nothing stored" shows.
    void scanInts_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<int>>("values");
        using L = QList<int>;
        QTest::newRow("three fields")
            << QByteArray("1,22,333") << QByteArray("%d,%d,%d") << 3 << L{1, 22, 333};
        QTest::newRow("empty fields count, store nothing")
            << QByteArray(",,5") << QByteArray("%d,%d,%d") << 3 << L{-7, -7, 5};
        QTest::newRow("last letter takes the rest")
            << QByteArray("1,2,3,A*00\n\r") << QByteArray("%d,%d,%d") << 3 << L{1, 2, 3};
        QTest::newRow("literal mismatch ends")
            << QByteArray("B1,2,3") << QByteArray("A%d,%d,%d") << 0 << L{-7, -7, -7};
        QTest::newRow("delimiter searched past other bytes")
            << QByteArray("1;2,3") << QByteArray("%d,%d,%d") << 2 << L{1, 3, -7};
        QTest::newRow("input ends before a conversion")
            << QByteArray("1,") << QByteArray("%d,%d,%d") << 1 << L{1, -7, -7};
        QTest::newRow("missing delimiter: field runs to the end")
            << QByteArray("12 34") << QByteArray("%d,%d") << 1 << L{12, -7, -7};
        QTest::newRow("widths") << QByteArray("230394") << QByteArray("%2d%2d%2d") << 3
                                << L{23, 3, 94};
        QTest::newRow("width longer than input ends")
            << QByteArray("2303") << QByteArray("%2d%2d%2d") << 2 << L{23, 3, -7};
        QTest::newRow("width field without digits reads 0")
            << QByteArray(",0,1") << QByteArray("%2d%2d") << 2 << L{0, 0, -7};
        QTest::newRow("blanks and sign")
            << QByteArray(" \t-12,+7, 3x") << QByteArray("%d,%d,%d") << 3 << L{-12, 7, 3};
        QTest::newRow("clamped to 32 bits")
            << QByteArray("99999999999,-99999999999,2147483647") << QByteArray("%d,%d,%d") << 3
            << L{2147483647, -2147483647 - 1, 2147483647};
        QTest::newRow("hex and octal")
            << QByteArray("ff,0x1A,17") << QByteArray("%x,%X,%o") << 3 << L{255, 26, 15};
        QTest::newRow("unknown letter ends")
            << QByteArray("1,2") << QByteArray("%d,%q") << 1 << L{1, -7, -7};
        QTest::newRow("256-byte field reads zero") << QByteArray(255, '0') + "1," + QByteArray("5")
                                                   << QByteArray("%d,%d") << 2 << L{0, 5, -7};
        QTest::newRow("255-byte field is read") << QByteArray(254, '0') + "1," + QByteArray("5")
                                                << QByteArray("%d,%d") << 2 << L{1, 5, -7};
        QTest::newRow("embedded NUL ends the number")
            << QByteArray("12\0003,4", 6) << QByteArray("%d,%d") << 2 << L{12, 4, -7};
    }
    void scanInts() {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, format);
        QFETCH(int, count);
        QFETCH(QList<int>, values);
        int32_t v[3] = {-7, -7, -7};
        QCOMPARE(ScanFields(text.constData(), size_t(text.size()), format.constData(), &v[0], &v[1],
                            &v[2]),
                 count);
        QCOMPARE((QList<int>{v[0], v[1], v[2]}), values);
    }

    void scanCharsAndText_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("count");
        QTest::addColumn<QByteArray>("first");   // %C
        QTest::addColumn<QByteArray>("second");  // %s
        QTest::addColumn<double>("third");       // %f
        QTest::newRow("all present")
            << QByteArray("N,abc,1.5") << 3 << QByteArray("N") << QByteArray("abc") << 1.5;
        QTest::newRow("empty char field")
            << QByteArray(",abc,2") << 3 << QByteArray("") << QByteArray("abc") << 2.0;
        QTest::newRow("two chars: literal then fails")
            << QByteArray("NS,abc,2") << 1 << QByteArray("N") << QByteArray("") << 0.0;
        QTest::newRow("255-byte text is copied") << "S," + QByteArray(255, 't') + ",3" << 3
                                                 << QByteArray("S") << QByteArray(255, 't') << 3.0;
        QTest::newRow("256-byte text reads empty")
            << "S," + QByteArray(256, 't') + ",3" << 3 << QByteArray("S") << QByteArray("") << 3.0;
    }
    void scanCharsAndText() {
        QFETCH(QByteArray, text);
        QFETCH(int, count);
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        QFETCH(double, third);
        char c = '\0';
        char s[256] = "";
        double f = 0;
        QCOMPARE(ScanFields(text.constData(), size_t(text.size()), "%C,%s,%f", &c, s, &f), count);
        QCOMPARE(c == '\0' ? QByteArray() : QByteArray(1, c), first);
        QCOMPARE(QByteArray(s), second);
        QCOMPARE(f, third);
    }

    void parseTime_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("fields");
        QTest::addColumn<QStringList>("errors");
        QTest::newRow("six digits") << QByteArray("123519") << 0
                                    << "hour=12 minute=35 second=19 hundredths=0" << QStringList();
        QTest::newRow("one-digit fraction")
            << QByteArray("123519.5") << 0 << "hundredths=5" << QStringList();
        QTest::newRow("two-digit fraction")
            << QByteArray("123519.50") << 0 << "hundredths=50" << QStringList();
        QTest::newRow("three-digit fraction")
            << QByteArray("123519.500") << 0 << "hundredths=500" << QStringList();
        QTest::newRow("no limits on values")
            << QByteArray("996099") << 0 << "hour=99 minute=60 second=99" << QStringList();
        QTest::newRow("seven characters") << QByteArray("123519.") << -1 << ""
                                          << QStringList{"Parse of time error (format error)!"};
        QTest::newRow("eleven characters") << QByteArray("123519.5000") << -1 << ""
                                           << QStringList{"Parse of time error (format error)!"};
        QTest::newRow("eight without point") << QByteArray("12351950") << -1 << "" << QStringList();
    }
    void parseTime() {
        QFETCH(QByteArray, text);
        QFETCH(int, result);
        QFETCH(QString, fields);
        QFETCH(QStringList, errors);
        NmeaTime t{};
        QCOMPARE(ParseNmeaTime(text.constData(), size_t(text.size()), t), result);
        TrackSample s{};
        s.hour = t.hour;
        s.minute = t.minute;
        s.second = t.second;
        s.hundredths = t.hundredths;
        QCOMPARE(CheckFields(s, fields), QString());
        QCOMPARE(rec_.errors, errors);
    }

    // One sentence applied to a fresh sample (clock 2026-12-05 10:20:30.45).
    void applyOne_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("applied");
        QTest::addColumn<QString>("fields");
        QTest::addColumn<QStringList>("errors");
        QTest::newRow("GGA example")
            << QByteArray("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\n\r")
            << 1
            << "sentences=1 hour=12 minute=35 second=19 hundredths=0 valid=1 hdop=0.9 "
               "altitude=545.4 lat=4807.038 lon=1131 year=126 month=11 day=5"
            << QStringList();
        QTest::newRow("GGA without fix")
            << Nmea("GPGGA,123520,,,,,0,00,,,M,,M,,") << 1
            << "valid=0 lat=-0 lon=-0 altitude=0 hour=12" << QStringList();
        QTest::newRow("GGA south, west")
            << Nmea("GPGGA,123519,2503.123,S,04540.5,W,1,08,0.9,1,M,1,M,,") << 1
            << "lat=-2503.123 lon=-4540.5" << QStringList();
        QTest::newRow("GGA empty hemisphere is negative")
            << Nmea("GPGGA,123519,2503.123,,04540.5,E,1,08,0.9,1,M,1,M,,") << 1
            << "lat=-2503.123 lon=4540.5" << QStringList();
        QTest::newRow("GGA time of 7 characters")
            << Nmea("GPGGA,123519.,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,") << 0
            << "sentences=0 hour=10"
            << QStringList{"Parse of time error (format error)!", "GPGGA time parse error!"};
        QTest::newRow("GGA empty time")
            << Nmea("GPGGA,,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,") << 0 << ""
            << QStringList{"Parse of time error (format error)!", "GPGGA time parse error!"};
        QTest::newRow("GGA hundredths") << Nmea("GPGGA,123519.50,1,N,1,E,1,08,0.9,1,M,1,M,,") << 1
                                        << "hundredths=50" << QStringList();
        QTest::newRow("GGA short") << Nmea("GPGGA,123519,4807.038,N") << 0 << "sentences=0"
                                   << QStringList{"GPGGA parse error!"};
        QTest::newRow("other talker dropped silently")
            << Nmea("GNGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,") << 0
            << "sentences=0" << QStringList();
        QTest::newRow("wrong checksum dropped silently")
            << QByteArray("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*48\n\r")
            << 0 << "sentences=0" << QStringList();
        QTest::newRow("checksum 00 accepted whatever the content")
            << QByteArray("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*00\n\r")
            << 1 << "sentences=1 valid=1" << QStringList();
        QTest::newRow("RMC without mode")
            << Nmea("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W") << 1
            << "sentences=8 day=23 month=2 year=94 valid=2 fix_mode=2 speed=41.4848 dir=84.4 "
               "lat=4807.038 lon=1131 hour=12 hundredths=0"
            << QStringList();
        QTest::newRow("RMC with mode, 2017")
            << Nmea("GPRMC,090503.25,A,4807.038,N,01131.000,E,0,0,050117,,,A") << 1
            << "day=5 month=0 year=117 hour=9 minute=5 second=3 hundredths=25" << QStringList();
        QTest::newRow("RMC void, empty position")
            << Nmea("GPRMC,123519,V,,,,,,,230394,,,N") << 1
            << "valid=0 fix_mode=1 lat=-0 lon=-0 speed=0 dir=0 day=23" << QStringList();
        QTest::newRow("RMC empty date")
            << Nmea("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,,003.1,W") << 0
            << "sentences=0 year=126" << QStringList{"GPRMC parse error!"};
        QTest::newRow("RMC other status changes neither")
            << Nmea("GPRMC,123519,X,1,N,1,E,0,0,230394,,") << 1 << "valid=0 fix_mode=1"
            << QStringList();
        QTest::newRow("RMC bad time")
            << Nmea("GPRMC,1235,A,1,N,1,E,0,0,230394,,") << 0 << "sentences=0"
            << QStringList{"Parse of time error (format error)!", "GPRMC time parse error!"};
        QTest::newRow("VTG") << Nmea("GPVTG,054.7,T,034.4,M,005.5,N,010.2,K") << 1
                             << "sentences=16 dir=54.7 mag_dir=34.4 speed=10.2" << QStringList();
        QTest::newRow("VTG with mode") << Nmea("GPVTG,054.7,T,034.4,M,005.5,N,010.2,K,A") << 1
                                       << "speed=10.2" << QStringList();
        QTest::newRow("VTG empty M unit")
            << Nmea("GPVTG,054.7,T,,,005.5,N,010.2,K") << 0 << "sentences=0"
            << QStringList{"GPVTG parse error (format error)!"};
        QTest::newRow("VTG short")
            << Nmea("GPVTG,054.7,T") << 0 << "sentences=0" << QStringList{"GPVTG parse error!"};
        QTest::newRow("GSV message 1")
            << Nmea("GPGSV,3,1,09,01,40,083,46,02,17,308,,12,07,344,39,14,22,228,45") << 1
            << "sentences=4 inview_no=9 sat0.prn=1 sat0.elevation=40 sat0.azimuth=83 "
               "sat0.snr=46 sat1.snr=0 sat3.prn=14 sat4.prn=0"
            << QStringList();
        QTest::newRow("GSV last message carries one")
            << Nmea("GPGSV,3,3,09,31,10,100,30") << 1
            << "inview_no=9 sat8.prn=31 sat8.snr=30 sat7.prn=0 sat9.prn=0" << QStringList();
        QTest::newRow("GSV message 7 accepted, changes nothing")
            << Nmea("GPGSV,7,7,25,31,10,100,30") << 1 << "sentences=0 inview_no=0" << QStringList();
        QTest::newRow("GSV number above total changes nothing")
            << Nmea("GPGSV,1,2,08,31,10,100,30,32,10,100,30,33,10,100,30,34,10,100,30") << 1
            << "sentences=0" << QStringList();
        QTest::newRow("GSV too few satellites")
            << Nmea("GPGSV,3,1,09,01,40,083,46") << 0 << "sentences=0"
            << QStringList{"GPGSV parse error!"};
        QTest::newRow("GSV number 0 fills from slot 0")
            << Nmea("GPGSV,1,0,08,07,40,083,46,08,1,2,3,09,1,2,3,10,1,2,3") << 1
            << "sat0.prn=7 sat1.prn=8 sat3.prn=10 inview_no=8" << QStringList();
        QTest::newRow("GSENSOR milli-g") << QByteArray("$GSENSOR,-1000,0,1000,A*00\n\r") << 1
                                         << "sentences=32 x=-1 y=0 z=1" << QStringList();
        QTest::newRow("GSENSORD decimals") << QByteArray("$GSENSORD,0.5,-0.25,1,A*00\n\r") << 1
                                           << "x=0.5 y=-0.25 z=1" << QStringList();
        QTest::newRow("GSENSOR two fields") << QByteArray("$GSENSOR,1,2*00\n\r") << 0
                                            << "sentences=0" << QStringList{"GSENSOR parse error!"};
        QTest::newRow("GSENS other word") << QByteArray("$GSENSX,1,2,3*00\n\r") << 0
                                          << "sentences=0" << QStringList{"GSENSOR parse error!"};
        QTest::newRow("GSA alone marks nothing")
            << Nmea("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1") << 1
            << "sentences=2 fix_mode=3 pdop=2.5 hdop=1.3 vdop=2.1 inuse_no=0" << QStringList();
        QTest::newRow("GSA short")
            << Nmea("GPGSA,A,3,04,05") << 0 << "sentences=0" << QStringList{"GPGSA parse error!"};
        QTest::newRow("bytes before a dollar are dropped")
            << "garbage" + Nmea("GPVTG,054.7,T,034.4,M,005.5,N,010.2,K") << 1 << "speed=10.2"
            << QStringList();
        QTest::newRow("no star before the next dollar")
            << "$GPGGA,123519,4807" + Nmea("GPVTG,054.7,T,034.4,M,005.5,N,010.2,K") << 1
            << "sentences=16" << QStringList();
    }
    void applyOne() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, applied);
        QFETCH(QString, fields);
        QFETCH(QStringList, errors);
        SentenceParser parser;
        QVERIFY(parser.Open());
        TrackSample s = FreshSample();
        QCOMPARE(ApplySentences(parser, bytes.constData(), size_t(bytes.size()), s), applied);
        QCOMPARE(CheckFields(s, fields), QString());
        QCOMPARE(rec_.errors, errors);
    }

    // GSV then GSA in one sample: the GSA marks the slots whose PRN it lists.
    void gsaMarksSlotsInView_data() {
        QTest::addColumn<QByteArray>("gsa");
        QTest::addColumn<QString>("fields");
        const QByteArray gsv =
            Nmea("GPGSV,2,1,05,04,40,083,46,05,17,308,41,12,07,344,39,14,22,228,45") +
            Nmea("GPGSV,2,2,05,24,10,100,30");
        QTest::newRow("listed PRNs") << gsv + Nmea("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1")
                                     << "inuse_no=4 sat0.used=1 sat1.used=1 sat2.used=1 "
                                        "sat3.used=0 sat4.used=1";
        QTest::newRow("PRN listed twice counts twice")
            << gsv + Nmea("GPGSA,A,3,04,04,,,,,,,,,,,2.5,1.3,2.1") << "inuse_no=2 sat0.used=1";
        QTest::newRow("listed PRN with no slot")
            << gsv + Nmea("GPGSA,A,3,77,,,,,,,,,,,,1,1,1") << "inuse_no=0 sat0.used=0";
        QTest::newRow("slots beyond in-view are not searched")
            << Nmea("GPGSV,2,1,05,04,40,083,46,05,17,308,41,12,07,344,39,14,22,228,45") +
                   Nmea("GPGSV,1,1,01,07,40,083,46") + Nmea("GPGSA,A,3,05,07,,,,,,,,,,,1,1,1")
            << "inview_no=1 inuse_no=1 sat0.used=1 sat1.used=0";
    }
    void gsaMarksSlotsInView() {
        QFETCH(QByteArray, gsa);
        QFETCH(QString, fields);
        SentenceParser parser;
        QVERIFY(parser.Open());
        TrackSample s = FreshSample();
        ApplySentences(parser, gsa.constData(), size_t(gsa.size()), s);
        QCOMPARE(CheckFields(s, fields), QString());
    }

    void onSentenceGetsWholeSentence() {
        SentenceParser parser;
        QVERIFY(parser.Open());
        TrackSample s = FreshSample();
        const QByteArray vtg = Nmea("GPVTG,054.7,T,034.4,M,005.5,N,010.2,K");
        const QByteArray bytes = "$GNGSA,x*00\n\r" + vtg;
        ApplySentences(parser, bytes.constData(), size_t(bytes.size()), s);
        QCOMPARE(rec_.sentences, QList<QByteArray>{vtg});
    }

    // Feeding: what stays in the buffer and when it is lost.
    void buffering() {
        SentenceParser parser;
        QVERIFY(parser.Open());
        TrackSample s = FreshSample();
        const QByteArray vtg = Nmea("GPVTG,054.7,T,034.4,M,005.5,N,010.2,K");
        // A sentence split over two feeds is decoded when its tail arrives.
        QCOMPARE(ApplySentences(parser, vtg.constData(), 20, s), 0);
        QCOMPARE(parser.Fill(), size_t(20));
        QCOMPARE(ApplySentences(parser, vtg.constData() + 20, size_t(vtg.size() - 20), s), 1);
        QCOMPARE(parser.Fill(), size_t(0));

        // A checksum not followed by LF CR waits, and holds up what follows...
        const QByteArray stuck = "$GPGGA,1*00;\n\r";
        QCOMPARE(ApplySentences(parser, stuck.constData(), size_t(stuck.size()), s), 0);
        int fed = int(stuck.size());
        while (fed + vtg.size() < 1024) {
            QCOMPARE(ApplySentences(parser, vtg.constData(), size_t(vtg.size()), s), 0);
            fed += int(vtg.size());
        }
        QCOMPARE(int(parser.Fill()), fed);
        // ...until buffered bytes plus the new chunk reach 1024: the buffer is emptied and
        // parsing restarts at the new chunk.
        QCOMPARE(ApplySentences(parser, vtg.constData(), size_t(vtg.size()), s), 1);
        QCOMPARE(parser.Fill(), size_t(0));
    }

    void longInputIsFedInChunks() {
        SentenceParser parser;
        QVERIFY(parser.Open());
        TrackSample s = FreshSample();
        // 3000 bytes of sentences: each 1024-byte chunk clears what the previous one left,
        // so sentences cut at a chunk edge are lost; the others are decoded.
        const QByteArray vtg = Nmea("GPVTG,054.7,T,034.4,M,005.5,N,010.2,K");
        QByteArray bytes;
        while (bytes.size() < 3000) bytes += vtg;
        const int whole = int(bytes.size() / vtg.size());
        const int applied = ApplySentences(parser, bytes.constData(), size_t(bytes.size()), s);
        QVERIFY(applied >= whole - 3);
        QVERIFY(applied < whole);
    }

    void popInOrder() {
        SentenceParser parser;
        QVERIFY(parser.Open());
        const QByteArray bytes =
            Nmea("GPVTG,054.7,T,034.4,M,005.5,N,010.2,K") + QByteArray("$GSENSOR,1,2,3,A*00\n\r");
        QCOMPARE(parser.Feed(bytes.constData(), size_t(bytes.size())), int(bytes.size()));
        SentenceRecord r;
        QCOMPARE(int(parser.Pop(&r)), int(kSentenceVtg));
        QCOMPARE(std::get<VtgRecord>(r).speed_kmh, 10.2);
        QCOMPARE(int(parser.Pop(&r)), int(kSentenceGsensor));
        QCOMPARE(std::get<GsensorRecord>(r).z, 0.003);
        QCOMPARE(int(parser.Pop(&r)), int(kSentenceNone));
    }
};

QTEST_APPLESS_MAIN(TestSentenceParser)
#include "test_sentence_parser.moc"
