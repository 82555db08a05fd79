#pragma once
// The real receiver captures in tests/data/real-nmea, made into camera logs by putting a
// G-sensor line after each second's sentences.

#include <QByteArray>
#include <QDir>
#include <QRegularExpression>
#include <QStringList>

#include "nmea_test_util.h"

inline QStringList RealLogNames() {
    return QDir(VANTRAIL_TEST_DATA "/real-nmea").entryList({"*.log"}, QDir::Files, QDir::Name);
}

inline QByteArray ReadRealLog(const QString& name) {
    const QByteArray log = ReadFile(VANTRAIL_TEST_DATA "/real-nmea/" + name);
    return log == "<missing>" ? QByteArray() : log;
}

// A new second starts at a GGA, RMC, GLL or ZDA (any talker) with another hhmmss than the
// sentences before it; the G-sensor line goes just before it, and once more at the end.
inline QByteArray WithGsensorLines(const QByteArray& log) {
    static const QRegularExpression timed(
        R"(^\$..(?:GGA|RMC|ZDA),(\d{6})|^\$..GLL,[^,]*,[^,]*,[^,]*,[^,]*,(\d{6}))");
    QByteArray out;
    QByteArray second;
    int n = 0;
    const auto gsensor = [&n] {
        ++n;
        return "$GSENSOR," + QByteArray::number(n % 7 * 100 - 300) + "," +
               QByteArray::number(-(n % 5) * 50) + "," + QByteArray::number(1000 + n % 3) + "\r\n";
    };
    for (const QByteArray& line : log.split('\n')) {
        const auto m = timed.match(QString::fromLatin1(line));
        const QByteArray t = (m.captured(1) + m.captured(2)).toLatin1();
        if (m.hasMatch() && !second.isEmpty() && t != second)
            out += gsensor();
        if (m.hasMatch())
            second = t;
        out += line + '\n';
    }
    out.chop(1);  // split added one line feed too many
    return out + (out.endsWith('\n') ? "" : "\n") + gsensor();
}
