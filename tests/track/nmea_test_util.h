#pragma once
// Helpers shared by the track tests: sentences with real checksums, sample fields by name.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <cmath>

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

// A sample field by its name, as text ("-0" kept apart from "0" for doubles).
inline QString SampleField(const TrackSample& s, const QString& name) {
    const auto d = [](double v) {
        return std::signbit(v) && v == 0 ? QStringLiteral("-0") : QString::number(v, 'g', 15);
    };
    if (name == "sentences")
        return QString::number(s.sentences);
    if (name == "year")
        return QString::number(s.year);
    if (name == "month")
        return QString::number(s.month);
    if (name == "day")
        return QString::number(s.day);
    if (name == "hour")
        return QString::number(s.hour);
    if (name == "minute")
        return QString::number(s.minute);
    if (name == "second")
        return QString::number(s.second);
    if (name == "hundredths")
        return QString::number(s.hundredths);
    if (name == "valid")
        return QString::number(s.valid);
    if (name == "fix_mode")
        return QString::number(s.fix_mode);
    if (name == "pdop")
        return d(s.pdop);
    if (name == "hdop")
        return d(s.hdop);
    if (name == "vdop")
        return d(s.vdop);
    if (name == "lat")
        return d(s.lat);
    if (name == "lon")
        return d(s.lon);
    if (name == "altitude")
        return d(s.altitude);
    if (name == "speed")
        return d(s.speed);
    if (name == "dir")
        return d(s.dir);
    if (name == "mag_dir")
        return d(s.mag_dir);
    if (name == "x")
        return d(s.x);
    if (name == "y")
        return d(s.y);
    if (name == "z")
        return d(s.z);
    if (name == "inuse_no")
        return QString::number(s.inuse_no);
    if (name == "inview_no")
        return QString::number(s.inview_no);
    // sat<k>.<field>
    if (name.startsWith("sat")) {
        const QStringList parts = name.mid(3).split('.');
        const SatelliteSlot& slot = s.sats[parts[0].toInt()];
        const QString& f = parts[1];
        if (f == "prn")
            return QString::number(slot.prn);
        if (f == "used")
            return QString::number(slot.used);
        if (f == "elevation")
            return QString::number(slot.elevation);
        if (f == "azimuth")
            return QString::number(slot.azimuth);
        if (f == "snr")
            return QString::number(slot.snr);
    }
    return "<unknown field " + name + ">";
}

// Compares "name=value name=value ..." against a sample; returns the first difference.
inline QString CheckFields(const TrackSample& s, const QString& expected) {
    for (const QString& pair : expected.split(' ', Qt::SkipEmptyParts)) {
        const QString name = pair.section('=', 0, 0);
        const QString want = pair.section('=', 1);
        const QString got = SampleField(s, name);
        if (got != want)
            return name + ": got " + got + ", want " + want;
    }
    return {};
}
