#pragma once
// History.log (see CVantrailApp::StateFile): one timestamped diagnostic line per call.

#include <ctime>
#include <string>

// "[%d/%d/%d][%02d:%02d:%02d.%03d]" + tab + message + line feed, from local time. A message
// is cut to 255 characters.
std::string FormatHistoryLine(const std::tm& local, int milliseconds, const std::string& message);

// Appends one line (line feeds stored as CR LF); returns the characters written or -1.
int WriteHistoryLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

void DeleteHistoryLog();
