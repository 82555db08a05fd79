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
ParserSettings& theParserSettings();

void ReportParserError(const char* text);
void ReportSentence(const char* sentence, size_t length);
