#include "track/parser_settings.h"

#include <cstring>

ParserSettings& theParserSettings() {
    static ParserSettings settings;
    return settings;
}

void ReportParserError(const char* text) {
    const ParserSettings& settings = theParserSettings();
    if (settings.on_error)
        settings.on_error(text, static_cast<int>(std::strlen(text)));
}

void ReportSentence(const char* sentence, size_t length) {
    const ParserSettings& settings = theParserSettings();
    if (settings.on_sentence && length != 0)
        settings.on_sentence(sentence, static_cast<int>(length));
}
