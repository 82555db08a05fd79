#include <QTest>

#include <memory>
#include <utility>

#include "nmea_test_util.h"
#include "track/parser_settings.h"
#include "track/sentence_framing.h"
#include "track/sentence_parser.h"
#include "track/track.h"
#include "track/utc_clock.h"

namespace {
const QByteArray kVtg = Nmea("GPVTG,054.7,T,034.4,M,005.5,N,010.2,K");
const QString kTimeError = "Parse of time error (format error)!";
}  // namespace

class TestSentenceParser : public QObject {
    Q_OBJECT

    QStringList errors_;
    QList<QByteArray> sentences_;
    std::unique_ptr<SentenceParser> parser_;
    TrackSample sample_;

    int Apply(const QByteArray& bytes) {
        return parser_->ApplySentences(bytes.constData(), size_t(bytes.size()), sample_);
    }

private slots:
    void init() {
        errors_.clear();
        sentences_.clear();
        theParserSettings().on_error = [this](const char* text, int length) {
            errors_ << QString::fromUtf8(text, length);
        };
        theParserSettings().on_sentence = [this](const char* bytes, int length) {
            sentences_ << QByteArray(bytes, length);
        };
        SetUtcClock(FixedNow);
        parser_ = std::make_unique<SentenceParser>();
        QVERIFY(parser_->Open());
        InitSample(sample_);
    }
    void cleanup() {
        theParserSettings() = ParserSettings{};
        SetUtcClock({});
    }

    void frame_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("length");  // 0: incomplete
        QTest::addColumn<bool>("accepted");
        QByteArray lower = Nmea("GPVTG,10");  // checksum 7F
        lower[lower.size() - 3] = 'f';
        QTest::newRow("lower-case hex") << lower << int(lower.size()) << true;
        QTest::newRow("no star yet") << QByteArray("$GPGGA,1,2,3") << 0 << false;
        QTest::newRow("CR LF is not the tail") << QByteArray("$GPGGA,1*00\r\n") << 0 << false;
        QTest::newRow("hex stops at non-hex, none read as 00")
            << QByteArray("$A*G1\n\r") << 7 << true;
        QTest::newRow("only what the length allows")
            << QByteArray("$A*41\n\r$B*42\n\r") << 7 << true;
    }
    void frame() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, length);
        const FrameResult r = FrameSentence(bytes.constData(), size_t(bytes.size()));
        QCOMPARE(int(r.length), length);
        if (length != 0)
            QTEST(r.accepted, "accepted");
    }

    // One sentence applied to a fresh sample (clock 2026-12-05 10:20:30.45); errors joined by |.
    void applyOne_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("applied");
        QTest::addColumn<QString>("fields");
        QTest::addColumn<QString>("errors");
        const auto row = [](const char* name, const QByteArray& bytes, int applied,
                            const QString& fields, const QString& errors = {}) {
            QTest::newRow(name) << bytes << applied << fields << errors;
        };
        const QByteArray gga = "GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,";
        const QByteArray rmc = "GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,";
        row("GGA example", "$" + gga + "*47\n\r", 1,
            "sentences=1 hour=12 minute=35 second=19 hundredths=0 valid=1 hdop=0.9 "
            "altitude=545.4 lat=4807.038 lon=1131 year=126 month=11 day=5");
        row("GGA south, empty hemisphere",
            Nmea("GPGGA,123519.5,2503.123,S,04540.5,,1,08,0.9,1,M,1,M,,"), 1,
            "lat=-2503.123 lon=-4540.5 hundredths=5");
        row("GGA time of 7 characters", Nmea("GPGGA,123519." + gga.mid(12)), 0,
            "sentences=0 hour=10", kTimeError + "|GPGGA time parse error!");
        row("GGA short", Nmea("GPGGA,123519,4807.038,N"), 0, "sentences=0", "GPGGA parse error!");
        row("wrong checksum dropped silently", "$" + gga + "*48\n\r", 0, "sentences=0");
        row("RMC without mode", Nmea(rmc + "230394,003.1,W"), 1,
            "sentences=8 day=23 month=2 year=94 valid=2 fix_mode=2 speed=41.4848 dir=84.4 "
            "lat=4807.038 lon=1131 hour=12");
        row("RMC year 89 is 2089", Nmea(rmc + "311289,003.1,W"), 1, "year=189 month=11 day=31");
        row("RMC year 90 is 1990", Nmea(rmc + "010190,003.1,W"), 1, "year=90 month=0 day=1");
        row("RMC void after a 3D fix, empty position",
            Nmea("GPGSA,A,3,,,,,,,,,,,,,1,1,1") + Nmea("GPRMC,123519,V,,,,,,,230394,,,N"), 2,
            "valid=0 fix_mode=1 lat=-0 lon=-0 speed=0 dir=0 day=23");
        row("RMC empty date", Nmea(rmc + ",003.1,W"), 0, "sentences=0 year=126",
            "GPRMC parse error!");
        row("VTG with mode", Nmea("GPVTG,054.7,T,034.4,M,005.5,N,010.2,K,A"), 1,
            "sentences=16 dir=54.7 mag_dir=34.4 speed=10.2");
        row("VTG wrong unit", Nmea("GPVTG,054.7,T,034.4,M,005.5,K,010.2,K"), 0, "sentences=0",
            "GPVTG parse error (format error)!");
        row("GSV message 1", Nmea("GPGSV,3,1,09,01,40,083,46,02,17,308,,12,07,344,39,14,22,228,45"),
            1,
            "sentences=4 inview_no=9 sat0.prn=1 sat0.elevation=40 sat0.azimuth=83 sat0.snr=46 "
            "sat1.snr=0 sat3.prn=14 sat4.prn=0");
        row("GSV last message carries one", Nmea("GPGSV,3,3,09,31,10,100,30"), 1,
            "inview_no=9 sat8.prn=31 sat8.snr=30 sat7.prn=0 sat9.prn=0");
        row("GSV message 7 accepted, changes nothing", Nmea("GPGSV,7,7,25,31,10,100,30"), 1,
            "sentences=0 inview_no=0");
        row("GSV too few satellites", Nmea("GPGSV,3,1,09,01,40,083,46"), 0, "sentences=0",
            "GPGSV parse error!");
        row("GSENSOR two fields", "$GSENSOR,1,2*00\n\r", 0, "sentences=0", "GSENSOR parse error!");
        row("field runs to its delimiter past other bytes", "$GSENSOR,1;2,3,4,A*00\n\r", 1,
            "x=0.001 y=0.003 z=0.004");
        row("255-byte field is read", "$GSENSOR," + QByteArray(254, '0') + "5,2,3,A*00\n\r", 1,
            "x=0.005 y=0.002");
        row("256-byte field reads zero", "$GSENSOR," + QByteArray(255, '0') + "5,2,3,A*00\n\r", 1,
            "x=0 y=0.002");
        const QByteArray gsv =
            Nmea("GPGSV,2,1,05,04,40,083,46,05,17,308,41,12,07,344,39,14,22,228,45");
        row("GSA marks the listed PRNs in view",
            gsv + Nmea("GPGSV,2,2,05,24,10,100,30") +
                Nmea("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1"),
            3,
            "sentences=6 fix_mode=3 pdop=2.5 hdop=1.3 vdop=2.1 inuse_no=4 sat0.used=1 sat1.used=1 "
            "sat2.used=1 sat3.used=0 sat4.used=1");
        row("GSA does not search slots beyond in-view",
            gsv + Nmea("GPGSV,1,1,01,07,40,083,46") + Nmea("GPGSA,A,3,05,07,,,,,,,,,,,1,1,1"), 3,
            "inview_no=1 inuse_no=1 sat0.used=1 sat1.used=0");
        row("bytes before a dollar are dropped", "garbage" + kVtg, 1, "speed=10.2");
        row("no star before the next dollar", "$GPGGA,123519,4807" + kVtg, 1, "sentences=16");
    }
    void applyOne() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, fields);
        QTEST(Apply(bytes), "applied");
        QCOMPARE(CheckFields(sample_, fields), QString());
        QTEST(errors_.join('|'), "errors");
    }

    // Only whole sentences reach on_sentence; one split over two feeds is decoded when its
    // tail arrives.
    void feeds() {
        QCOMPARE(Apply("$GNGSA,x*00\n\r" + kVtg.left(20)), 0);
        QCOMPARE(Apply(kVtg.mid(20)), 1);
        QCOMPARE(sentences_, QList<QByteArray>{kVtg});
    }
};

QTEST_APPLESS_MAIN(TestSentenceParser)
#include "test_sentence_parser.moc"
