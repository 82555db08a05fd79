#pragma once
// Helpers shared by the track tests: sentences with real checksums, sample fields by name.

#include <QByteArray>
#include <QFile>
#include <QMap>
#include <QString>
#include <QtGlobal>

#include <chrono>
#include <cmath>
#include <type_traits>

#include "track/track_sample.h"

// "$" + body + "*hh" + terminator, hh the real checksum of body.
inline QByteArray Nmea(const QByteArray& body, const QByteArray& terminator = "\n\r") {
    unsigned char sum = 0;
    for (const char c : body) sum ^= static_cast<unsigned char>(c);
    return "$" + body + "*" + QByteArray::number(sum, 16).rightJustified(2, '0').toUpper() +
           terminator;
}

// The clock the tests fix: 2026-12-05 10:20:30.450 UTC.
inline std::chrono::system_clock::time_point FixedNow() {
    using namespace std::chrono;
    return system_clock::time_point(sys_days(year(2026) / December / 5)) + hours(10) + minutes(20) +
           seconds(30) + milliseconds(450);
}

inline QString WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size()
               ? path
               : QString();
}

inline QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// The bytes checked in under tests/data/golden as name; VANTRAIL_WRITE_GOLDEN=1 first rewrites
// them with got.
inline QByteArray Golden(const QString& name, const QByteArray& got) {
    const QString path = VANTRAIL_TEST_DATA "/golden/" + name;
    if (qEnvironmentVariableIsSet("VANTRAIL_WRITE_GOLDEN"))
        WriteFile(path, got);
    return ReadFile(path);
}

// Doubles keep "-0" apart from "0".
template <typename T>
QString FieldText(T v) {
    if constexpr (std::is_floating_point_v<T>)
        return std::signbit(v) && v == 0 ? QStringLiteral("-0") : QString::number(v, 'g', 15);
    else
        return QString::number(v);
}

// Compares "name=value ..." (sat<k>.<field> for slots) against a sample; returns the first
// difference.
inline QString CheckFields(const TrackSample& s, const QString& expected) {
#define FIELD(f) {#f, FieldText(s.f)}
    QMap<QString, QString> got{
        FIELD(sentences), FIELD(year),   FIELD(month),      FIELD(day),      FIELD(hour),
        FIELD(minute),    FIELD(second), FIELD(hundredths), FIELD(valid),    FIELD(fix_mode),
        FIELD(pdop),      FIELD(hdop),   FIELD(vdop),       FIELD(lat),      FIELD(lon),
        FIELD(altitude),  FIELD(speed),  FIELD(dir),        FIELD(mag_dir),  FIELD(x),
        FIELD(y),         FIELD(z),      FIELD(inuse_no),   FIELD(inview_no)};
#undef FIELD
    for (int k = 0; k < kMaxSatellites; ++k) {
        const SatelliteSlot& t = s.sats[k];
        const QString p = QString("sat%1.").arg(k);
        got[p + "prn"] = FieldText(t.prn);
        got[p + "used"] = FieldText(t.used);
        got[p + "elevation"] = FieldText(t.elevation);
        got[p + "azimuth"] = FieldText(t.azimuth);
        got[p + "snr"] = FieldText(t.snr);
    }
    for (const QString& pair : expected.split(' ', Qt::SkipEmptyParts)) {
        const QString name = pair.section('=', 0, 0);
        const QString want = pair.section('=', 1);
        const QString value = got.value(name, "<unknown field>");
        if (value != want)
            return name + ": got " + value + ", want " + want;
    }
    return {};
}
