#pragma once
// The telemetry of Thinkware cameras: a text (subtitle) track whose samples each hold a
// G-sensor reading and an RMC sentence, the sentence with or without its leading "$":
//   gsensori,4,512,-67,-12,100;GNRMC,161313.00,A,4529.87489,N,...*52
// The two figures before the axes read as the sensor's range in g and its count at that range
// (512 counts for 4 g: 128 a g), which puts a camera at rest at about 1 g.

#include <cstdint>
#include <span>
#include <vector>

#include "telemetry/telemetry.h"

// The reading of one sample that starts clip_ms into the clip: none, or one point with the
// acceleration and the fix it holds.
std::vector<TelemetryPoint> DecodeThinkwareSample(std::span<const uint8_t> sample, int64_t clip_ms);

// The family's row: the first text or subtitle track whose samples give readings.
bool ProbeThinkware(const TelemetrySource& source);
bool ReadThinkware(const TelemetrySource& source, Telemetry& out);
