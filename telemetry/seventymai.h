#pragma once
// The telemetry of 70mai Pro-class cameras: a top-level "GPS " box of 36-byte little-endian
// records, one a second. A record holds only its second within the clip; the movie header's
// date is a constant, so the clip's start comes from its file name, in the camera's clock.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "telemetry/point_time.h"
#include "telemetry/telemetry.h"

// The start of a clip named "NOyyyymmdd-hhmmss-nnnnnn..." (or "EV", "PA"), from a path or a
// bare name.
std::optional<TelemetryTime> SeventyMaiClipStart(std::string_view path);

// The payload of the "GPS " box. Each record: two words, the second within the clip, speed in
// m/h, then N/S and latitude, E/W and longitude as DDMM.mmm x 1000 (packed, from offset 16);
// 36 zero bytes end them. A record without hemisphere letters gives its time but no fix.
// Without a start, the points have clip times only.
std::vector<TelemetryPoint> DecodeSeventyMaiGps(std::span<const uint8_t> payload,
                                                std::optional<TelemetryTime> start);

// The family's row: a top-level "GPS " box.
bool ProbeSeventyMai(const TelemetrySource& source);
bool ReadSeventyMai(const TelemetrySource& source, Telemetry& out);
