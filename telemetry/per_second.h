#pragma once
// Telemetry points as the track a camera log gives: one sample a second.
//
// Points are of three kinds. A fix has its own date and time (has_time); a record has neither
// a date nor, mostly, a fix (a void block of a layout that writes one block a second); a
// reading is an accelerometer reading alone (has_accel without has_time or valid).
//
// - Every fix opens the entry of its UTC second unless an earlier fix of that second did:
//   the first fix of a second wins, so a 10 or 18 Hz source gives the 1 Hz shape of a log.
//   The entry's date and time are the fix's own, as written (no time zone is applied).
// - Every record opens an entry of its own (one per second of the clip when it has a clip
//   time), so a clip that starts without a fix still has its first seconds in step.
// - x, y, z are the mean of the readings of that second. A reading goes with its record when
//   it is part of one, else by clip time to the entry whose clip time came last before it
//   (the first entry for readings before every entry); without a clip time, to the entry of
//   the point before it. Readings with no entry at all open one entry per clip second.
//
// A sample's sentences bits say what it holds, as the log loader's do: kSentenceRmc for a
// dated fix (date, time, status, position, speed, course), kSentenceGga when it has altitude
// or satellites in use, kSentenceGsensor when readings were averaged into it. A valid fix
// sets valid and fix_mode 2, as an RMC with status A does; satellites a source does not give
// are none (0 in use, 0 in view, no slots). An entry without a date takes the UTC clock's
// time, as a log second without one does (InitSample).

#include <vector>

#include "telemetry/telemetry_point.h"
#include "track/track_sample.h"

// Appends a decoded record so that it keeps its second: a record with neither a date nor a
// valid fix that carries an accelerometer reading is stored as the record and the reading.
void AppendRecord(std::vector<TelemetryPoint>& points, TelemetryPoint record);

std::vector<TrackSample> SamplesPerSecond(const std::vector<TelemetryPoint>& points);
