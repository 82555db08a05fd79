#pragma once
// The telemetry of the BlackVue family: a "gps " record of NMEA text and a "3gf " record of
// accelerometer readings, as children of a top-level "free" box or as .gps/.3gf files beside
// the clip (the same bytes).

#include <cstdint>
#include <span>
#include <vector>

#include "telemetry/telemetry.h"

// The "gps " text: lines of sentences, each after a bracketed millisecond counter of the
// camera's clock ("[1538216648173]$GPRMC,..."), NUL-padded. Each RMC is a fix; a GGA under the
// same counter with the same time of day adds satellites and altitude. clip_ms counts from the
// first counter, which the camera writes as it starts the clip.
std::vector<TelemetryPoint> DecodeBlackVueGps(std::span<const uint8_t> text);

// The "3gf " records: 10 bytes each, big-endian (milliseconds from the start of the clip, then
// the vertical, left-right and forward-back axes as signed 16-bit counts of 1/128 g); a time of
// 0xFFFFFFFF ends them. Readings come out as x = left-right, y = forward-back, z = vertical.
std::vector<TelemetryPoint> DecodeBlackVue3gf(std::span<const uint8_t> bytes);

// The families' rows: the records inside a clip's top-level "free" box, and a .gps file (with
// the .3gf file of the same name beside it, when there is one).
bool ProbeBlackVue(const TelemetrySource& source);
bool ReadBlackVue(const TelemetrySource& source, Telemetry& out);
bool ProbeBlackVueFiles(const TelemetrySource& source);
bool ReadBlackVueFiles(const TelemetrySource& source, Telemetry& out);
