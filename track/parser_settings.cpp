#include "track/parser_settings.h"

#include <cstring>

void ReportParserError(const char* text) {
    const ParserSettings& settings = theParserSettings();
    if (settings.on_error)
        settings.on_error(text, static_cast<int>(std::strlen(text)));
}
