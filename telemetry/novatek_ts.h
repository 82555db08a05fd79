#pragma once
// Novatek GPS records in an MPEG transport stream (cameras of that family recording .TS):
// one PES packet a second on a PID that the program map does not list, its payload the
// record of the MP4 blocks from the hour field on (older layout's order, the three axes
// after the course when present), sometimes after a 164-byte header of the camera's.
// Packets are 188 bytes, or 192 with a 4-byte time code first.

#include "telemetry/telemetry.h"

bool ProbeNovatekTs(const TelemetrySource& source);
bool ReadNovatekTs(const TelemetrySource& source, Telemetry& out);
