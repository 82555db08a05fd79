#pragma once
// One reading of the telemetry a camera keeps inside its clips or beside them, as its layout
// gives it: a GPS fix, an accelerometer reading, or both. Decoders of each layout produce
// these; the per-second gathering turns them into track samples.

#include <cmath>
#include <cstdint>
#include <limits>

inline constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

struct TelemetryPoint {
    // Milliseconds from the start of the clip, when the layout tells; -1 when it does not.
    int64_t clip_ms = -1;

    // A fix: has_time when the record dates it (its own date and time, as written).
    bool has_time = false;
    int year = 0;   // e.g. 2024
    int month = 0;  // 1-12
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    bool valid = false;  // the receiver's status marks the position usable
    double lat = 0;      // decimal degrees, negative south
    double lon = 0;      // decimal degrees, negative west
    double speed_kmh = kNoValue;
    double course = kNoValue;    // degrees true
    double altitude = kNoValue;  // metres
    int satellites = -1;         // in use; -1 unknown

    // An accelerometer reading, in g.
    bool has_accel = false;
    double ax = 0;
    double ay = 0;
    double az = 0;
};

inline constexpr double kKmhPerKnot = 1.852;

// DDMM.mmmm (or DDDMM.mmmm) to decimal degrees, unsigned.
inline double DdmmToDegrees(double ddmm) {
    const double degrees = std::trunc(ddmm / 100.0);
    return degrees + (ddmm - degrees * 100.0) / 60.0;
}
