#include <QRandomGenerator>
#include <QTest>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "track/text_number.h"

namespace {
// What a 32-bit strtol gives.
int32_t Strtol32(const QByteArray& text, int base) {
    const long long v = std::strtoll(text.constData(), nullptr, base);
    if (v > INT32_MAX)
        return INT32_MAX;
    if (v < INT32_MIN)
        return INT32_MIN;
    return static_cast<int32_t>(v);
}

bool SameDouble(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

QByteArray Printf(const char* format, double v) {
    char text[512];
    std::snprintf(text, sizeof text, format, v);
    return text;
}
}  // namespace

class TestTextNumber : public QObject {
    Q_OBJECT

private slots:
    void readInteger_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("base");
        QTest::addColumn<int>("expected");
        QTest::newRow("plain") << QByteArray("123") << 10 << 123;
        QTest::newRow("leading blanks") << QByteArray(" \t\n\v\f\r42") << 10 << 42;
        QTest::newRow("sign then blank stops") << QByteArray("- 4") << 10 << 0;
        QTest::newRow("plus") << QByteArray("+4") << 10 << 4;
        QTest::newRow("stops at non-digit") << QByteArray("12.9") << 10 << 12;
        QTest::newRow("no digits") << QByteArray("abc") << 10 << 0;
        QTest::newRow("max") << QByteArray("2147483647") << 10 << INT32_MAX;
        QTest::newRow("above max") << QByteArray("2147483648") << 10 << INT32_MAX;
        QTest::newRow("min") << QByteArray("-2147483648") << 10 << INT32_MIN;
        QTest::newRow("below min") << QByteArray("-2147483649") << 10 << INT32_MIN;
        QTest::newRow("very long") << QByteArray(200, '9') << 10 << INT32_MAX;
        QTest::newRow("hex") << QByteArray("1aF") << 16 << 0x1af;
        QTest::newRow("hex prefix") << QByteArray("0x1A") << 16 << 0x1a;
        QTest::newRow("hex prefix alone") << QByteArray("0xg") << 16 << 0;
        QTest::newRow("octal") << QByteArray("178") << 8 << 15;
    }
    void readInteger() {
        QFETCH(QByteArray, text);
        QFETCH(int, base);
        QFETCH(int, expected);
        QCOMPARE(ReadInteger(text.constData(), size_t(text.size()), base), expected);
        QCOMPARE(Strtol32(text, base), expected);
    }

    void readIntegerStopsAtLength() { QCOMPARE(ReadInteger("12345", 3, 10), 123); }

    void readDecimal_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("plain") << QByteArray("4807.038");
        QTest::newRow("negative zero") << QByteArray("-0");
        QTest::newRow("negative zero fraction") << QByteArray("-0.000");
        QTest::newRow("sign alone") << QByteArray("-");
        QTest::newRow("point alone") << QByteArray(".");
        QTest::newRow("leading point") << QByteArray(".5");
        QTest::newRow("trailing point") << QByteArray("5.");
        QTest::newRow("exponent") << QByteArray("1.5e3");
        QTest::newRow("exponent without digits") << QByteArray("1e+");
        QTest::newRow("negative exponent") << QByteArray("25E-2");
        QTest::newRow("blanks") << QByteArray("  \t7.25");
        QTest::newRow("stops at comma") << QByteArray("1.25,7");
        QTest::newRow("17 digits") << QByteArray("0.12345678901234567");
        QTest::newRow("25 digits") << QByteArray("1234567890123456789012345");
        QTest::newRow("hard rounding") << QByteArray("9007199254740993");
        QTest::newRow("tiny") << QByteArray("4.9e-324");
        QTest::newRow("underflow") << QByteArray("1e-400");
        QTest::newRow("overflow") << QByteArray("1e400");
        QTest::newRow("many leading zeros") << QByteArray("0000000000000000000000001.5");
        QTest::newRow("many fraction zeros") << QByteArray("0.00000000000000000000000015");
    }
    void readDecimal() {
        QFETCH(QByteArray, text);
        const double got = ReadDecimal(text.constData(), size_t(text.size()));
        const double want = std::strtod(text.constData(), nullptr);
        QVERIFY2(SameDouble(got, want), qPrintable(QString::number(got, 'g', 17) + " vs " +
                                                   QString::number(want, 'g', 17)));
    }

    // Decimal forms only: inf, nan and hex floats read their decimal prefix or 0.
    void readDecimalOnlyDecimal_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<double>("expected");
        QTest::newRow("inf") << QByteArray("inf") << 0.0;
        QTest::newRow("nan") << QByteArray("-nan") << 0.0;
        QTest::newRow("hex") << QByteArray("0x1p3") << 0.0;
        QTest::newRow("hex with digits") << QByteArray("12x") << 12.0;
    }
    void readDecimalOnlyDecimal() {
        QFETCH(QByteArray, text);
        QFETCH(double, expected);
        QCOMPARE(ReadDecimal(text.constData(), size_t(text.size())), expected);
    }

    // Many random decimal texts: the same bits as strtod.
    void readDecimalMatchesStrtod() {
        QRandomGenerator rng(12345);
        for (int n = 0; n < 200000; ++n) {
            QByteArray text;
            if (rng.bounded(4) == 0)
                text += '-';
            const int whole = rng.bounded(12);
            for (int i = 0; i < whole; ++i) text += char('0' + rng.bounded(10));
            if (rng.bounded(3) != 0) {
                text += '.';
                const int frac = rng.bounded(14);
                for (int i = 0; i < frac; ++i) text += char('0' + rng.bounded(10));
            }
            if (rng.bounded(8) == 0)
                text += "e" + QByteArray::number(rng.bounded(-30, 30));
            const double got = ReadDecimal(text.constData(), size_t(text.size()));
            const double want = std::strtod(text.constData(), nullptr);
            if (!SameDouble(got, want))
                QFAIL(text.constData());
        }
    }

    void appendInt_data() {
        QTest::addColumn<qlonglong>("value");
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("zeroPad");
        QTest::addColumn<QByteArray>("format");
        for (const qlonglong v : {0LL, 5LL, -5LL, 42LL, -42LL, 999LL, 12345LL, -123456LL,
                                  2147483647LL, -2147483648LL}) {
            for (const auto& [width, zero, format] :
                 {std::tuple{2, true, "%02lld"}, std::tuple{3, false, "%3lld"},
                  std::tuple{4, true, "%04lld"}, std::tuple{5, false, "%5lld"},
                  std::tuple{6, false, "%6lld"}, std::tuple{11, false, "%11lld"}}) {
                QTest::addRow("%s %lld", format, v) << v << width << zero << QByteArray(format);
            }
        }
    }
    void appendInt() {
        QFETCH(qlonglong, value);
        QFETCH(int, width);
        QFETCH(bool, zeroPad);
        QFETCH(QByteArray, format);
        std::string out;
        AppendInt(out, value, width, zeroPad);
        char want[64];
        std::snprintf(want, sizeof want, format.constData(), value);
        QCOMPARE(QByteArray::fromStdString(out), QByteArray(want));
    }

    void appendFixed_data() {
        QTest::addColumn<double>("value");
        for (const double v : {0.0,       -0.0,
                               0.0005,    -0.0005,
                               0.0625,    0.125,
                               2.5e-4,    4807.038,
                               -2503.123, 1131.0,
                               0.9995,    9.9999,
                               99.95,     0.05,
                               0.15,      0.25,
                               0.35,      1e-300,
                               -1e-300,   5e-324,
                               1e12,      1099511627776.5,
                               1e20,      -1e20,
                               1e300,     HUGE_VAL,
                               -HUGE_VAL, std::nan(""),
                               DBL_MAX}) {
            QTest::addRow("%.17g", v) << v;
        }
    }
    void appendFixed() {
        QFETCH(double, value);
        for (const auto& [width, precision, format] :
             {std::tuple{6, 3, "%6.3f"}, std::tuple{3, 1, "%3.1f"}, std::tuple{0, 0, "%0.0f"},
              std::tuple{10, 6, "%10.6f"}}) {
            std::string out;
            AppendFixed(out, value, width, precision);
            QCOMPARE(QByteArray::fromStdString(out), Printf(format, value));
        }
    }

    // Random doubles of every magnitude that matters, and exact ties at the third decimal.
    void appendFixedMatchesPrintf() {
        QRandomGenerator rng(777);
        for (int n = 0; n < 300000; ++n) {
            double v;
            switch (n % 3) {
                case 0:
                    v = (rng.generateDouble() - 0.5) * std::pow(10.0, rng.bounded(-6, 14));
                    break;
                case 1:
                    v = std::ldexp(double(rng.bounded(1 << 20)), -rng.bounded(1, 24));
                    break;
                default:
                    v = rng.bounded(-100000, 100000) / 1000.0 + 0.0005;
                    break;
            }
            std::string a;
            AppendFixed(a, v, 6, 3);
            std::string b;
            AppendFixed(b, v, 3, 1);
            if (QByteArray::fromStdString(a) != Printf("%6.3f", v) ||
                QByteArray::fromStdString(b) != Printf("%3.1f", v)) {
                QFAIL(qPrintable(QString::number(v, 'g', 17)));
            }
        }
    }
};

QTEST_APPLESS_MAIN(TestTextNumber)
#include "test_text_number.moc"
