#pragma once
// The RMC and GGA sentences of a camera's own receiver as its recordings embed them: the GP,
// GN, GL, GA or BD talker, the leading "$" optional, the "*hh" checksum required and checked.
// Each field is read strictly, so a sentence cut short by padding yields nothing rather than
// a wrong figure. The .nmea loader keeps its own decoders and rules.

#include <string_view>

#include "telemetry/telemetry_point.h"

// An unsigned DDMM.mmmm (DDDMM.mmmm) coordinate and its hemisphere letter as signed degrees,
// when the letter is positive or negative, the minutes are below 60 and the degrees within
// limit.
bool SignedDegrees(double ddmm, char hemisphere, char positive, char negative, double limit,
                   double& degrees);

// The sentence at the front of text, from its "$" (or its talker) through the two checksum
// digits, when the checksum matches; empty otherwise. A line end or a NUL ends the search.
std::string_view CheckedSentence(std::string_view text);

// The sentence at the front of text, when it is an RMC: its date and time, and its position,
// speed and course when the status is A. False when it is none, or dates nothing and gives no
// position.
bool ReadRmc(std::string_view text, TelemetryPoint& point);

struct GgaReading {
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    int satellites = -1;  // in use
    double altitude = kNoValue;
};

// The sentence at the front of text, when it is a GGA with a time of day.
bool ReadGga(std::string_view text, GgaReading& gga);
