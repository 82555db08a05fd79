#pragma once
// Readings dated by an offset (a second within the clip, days since 2000) are dated through
// one instant type, so that the calendar arithmetic is the standard library's.

#include <chrono>

#include "telemetry/telemetry_point.h"

using TelemetryTime = std::chrono::sys_time<std::chrono::milliseconds>;

// The instant of a civil date and time; false when it names no real day or time of day.
bool CivilTime(int year, int month, int day, int hour, int minute, int second, int millisecond,
               TelemetryTime& time);

// Sets point's date and time (and has_time) to time.
void SetPointTime(TelemetryPoint& point, TelemetryTime time);
