#include "instruments/instrument_font.h"

#include <QFile>
#include <QFontDatabase>
#include <QStringList>

namespace {

constexpr const char* kDsegFamily = "DSEG7 Classic";
constexpr const char* kDsegFile = "/usr/share/fonts/truetype/dseg/DSEG7Classic-Bold.ttf";
// DSEG7's digits are almost as wide as they are high; the readout boxes were laid out for a
// narrow face, so the substitute is condensed to about the same proportions.
constexpr int kDsegStretch = 45;

bool registered = false;

}  // namespace

bool RegisterInstrumentFont() {
    if (registered)
        return true;
    bool available = QFontDatabase::families().contains(QString::fromLatin1(kDsegFamily));
    if (!available && QFile::exists(QString::fromLatin1(kDsegFile)))
        available = QFontDatabase::addApplicationFont(QString::fromLatin1(kDsegFile)) >= 0;
    if (!available)
        return false;
    QFont::insertSubstitution(QString::fromLatin1(kInstrumentFaceName),
                              QString::fromLatin1(kDsegFamily));
    registered = true;
    return true;
}

QFont InstrumentFont(int height) {
    QFont font(QString::fromLatin1(kInstrumentFaceName));
    font.setPixelSize(height);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setStyleHint(QFont::Serif, QFont::PreferQuality);
    if (registered) {
        // "Thick Upright" is the bold, upright cut of the family.
        font.setStyleName(QStringLiteral("Bold"));
        font.setStretch(kDsegStretch);
    }
    return font;
}
