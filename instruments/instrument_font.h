#pragma once
// The instruments' text. The face name the instruments ask for is not a font any system
// carries. Seven-segment letters misread ("index" as "indEH"), so only the figures are drawn
// in DSEG7 and the words in a narrow sans, on one baseline.

#include <QFont>
#include <QRect>
#include <QString>

class QPainter;

inline constexpr const char* kInstrumentFaceName = "Digital Readout Thick Upright";

// Maps the face name onto DSEG7 Classic Bold. Returns false, and leaves every text to the
// sans face, when DSEG7 is not installed. Safe to call more than once.
bool RegisterInstrumentFont();

// The two faces of a text line whose font description has a cell height of `height` pixels.
// As in a cell of that height, the figures take two thirds of it from the top, so a line
// fits a box of the cell's height with room left for descenders.
struct InstrumentFace {
    QFont figures;
    QFont words;
    int baseline = 0;  // from the top of the cell
};
InstrumentFace InstrumentFont(int height);

// Draws text on one line in box, clipped to it, with the figures (digits, point and minus)
// in the seven-segment face and everything else in the sans face. Alignment: left or
// horizontal centre, and top.
void DrawInstrumentText(QPainter& painter, const InstrumentFace& face, const QRect& box,
                        Qt::Alignment alignment, const QString& text);
