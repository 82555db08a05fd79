#pragma once
// Process-wide parser settings and the two places where the parser reports.

#include <cstddef>
#include <functional>

struct ParserSettings {
    // Every sentence handed to a decoder (bytes from "$" through the carriage return).
    std::function<void(const char* bytes, int length)> on_sentence;
    // Each error message, at most 1023 characters.
    std::function<void(const char* text, int length)> on_error;
    int buffer_size = 1024;
};
// Nothing in the player installs the callbacks; tests do.
inline ParserSettings& theParserSettings() {
    static ParserSettings settings;
    return settings;
}

void ReportParserError(const char* text);

// Every decoded sentence passes here: inline, so that without a callback it costs a test.
inline void ReportSentence(const char* sentence, size_t length) {
    const ParserSettings& settings = theParserSettings();
    if (settings.on_sentence && length != 0)
        settings.on_sentence(sentence, static_cast<int>(length));
}
