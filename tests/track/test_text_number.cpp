#include <QTest>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "track/text_number.h"

namespace {
bool SameDouble(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

QByteArray Printf(const char* format, double v) {
    char text[512];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

QByteArray Fixed(double v, int width, int precision) {
    std::string out;
    AppendFixed(out, v, width, precision);
    return QByteArray::fromStdString(out);
}
}  // namespace

class TestTextNumber : public QObject {
    Q_OBJECT

private slots:
    // What a 32-bit strtol of base 10 gives.
    void readInteger_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("expected");
        QTest::newRow("leading blanks") << QByteArray(" \t\n\v\f\r42") << 42;
        QTest::newRow("above max") << QByteArray("2147483648") << INT32_MAX;
        QTest::newRow("below min") << QByteArray("-2147483649") << INT32_MIN;
        QTest::newRow("very long") << QByteArray(200, '9') << INT32_MAX;
    }
    void readInteger() {
        QFETCH(QByteArray, text);
        const QByteArray longer = text + "7";  // only the given length is read
        QTEST(ReadInteger(longer.constData(), size_t(text.size())), "expected");
    }

    // Decimal forms only: inf, nan and hex floats read their decimal prefix or 0.
    void readDecimalOnlyDecimal() {
        QCOMPARE((QList<double>{ReadDecimal("inf", 3), ReadDecimal("-nan", 4),
                                ReadDecimal("0x1p3", 5), ReadDecimal("12x", 3)}),
                 (QList<double>{0, 0, 0, 12}));
    }

    // The same bits as strtod on edge forms.
    void readDecimalMatchesStrtod() {
        for (const char* text :
             {"-0.000", "-", ".", "1e+", "25E-2", "  \t7.25", "1.25,7", "0.12345678901234567",
              "1234567890123456789012345", "9007199254740993", "4.9e-324", "1e-400", "1e400",
              "0000000000000000000000001.5", "0.00000000000000000000000015"}) {
            if (!SameDouble(ReadDecimal(text, std::strlen(text)), std::strtod(text, nullptr)))
                QFAIL(text);
        }
    }

    // Edge values, ties at the last decimal among them, in four formats.
    void appendFixedMatchesPrintf() {
        for (const double v :
             {-0.0, -0.0005, 0.0625, 2.5e-4, -2503.123, 0.9995, 9.9999, 99.95, 0.05, 0.15, 0.25,
              -1e-300, 5e-324, 1099511627776.5, -1e20, 1e300, -HUGE_VAL, std::nan(""), DBL_MAX}) {
            for (const auto& [width, precision, format] :
                 {std::tuple{6, 3, "%6.3f"}, {3, 1, "%3.1f"}, {0, 0, "%0.0f"}, {10, 6, "%10.6f"}})
                QCOMPARE(Fixed(v, width, precision), Printf(format, v));
        }
    }
};

QTEST_APPLESS_MAIN(TestTextNumber)
#include "test_text_number.moc"
