#pragma once
// The instruments' seven-segment face. The name the instruments ask for is not a font any
// system carries; it is mapped onto DSEG7 when that is installed.

#include <QFont>

inline constexpr const char* kInstrumentFaceName = "Digital Readout Thick Upright";

// Maps the face name onto DSEG7 Classic Bold. Returns false, and leaves the platform's font
// matching to pick a substitute, when DSEG7 is not installed. Safe to call more than once.
bool RegisterInstrumentFont();

// The instruments' font at a cell height of `height` pixels: weight 400, roman family,
// proof quality, as every instrument text is drawn.
QFont InstrumentFont(int height);
