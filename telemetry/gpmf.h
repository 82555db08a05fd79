#pragma once
// The telemetry of GoPro cameras: the GPMF payload of one "gpmd" sample, KLV records (a
// four-letter key, a type letter, a structure size, a big-endian repeat count, the data padded
// to four bytes) nested as DEVC devices holding STRM streams. A stream's SCAL divides the data
// that follows it, TYPE describes complex samples and ORIN orders the accelerometer's axes.
//   GPS5: latitude, longitude (deg), altitude (m), 2D and 3D speed (m/s), with the stream's
//         GPSU date and time ("yymmddhhmmss.sss") and GPSF fix (0 none, 2 or 3)
//   GPS9: the same five, days since 2000, seconds since midnight, DOP and fix, per sample
//   ACCL: three axes in m/s², given in g

#include <cstdint>
#include <span>
#include <vector>

#include "telemetry/telemetry.h"

// The readings of a payload whose sample starts start_ms into the clip and lasts duration_ms;
// each stream's samples are spread evenly over that time.
std::vector<TelemetryPoint> DecodeGpmf(std::span<const uint8_t> payload, int64_t start_ms,
                                       int64_t duration_ms);

// The family's row: the samples of the "gpmd" track, timed by the track's sample times.
bool ProbeGpmf(const TelemetrySource& source);
bool ReadGpmf(const TelemetrySource& source, Telemetry& out);
