#pragma once
// The loaded log written as GPX, CSV or KML where the user says, with the same bytes as
// vantrail-track writes.

#include <QString>

#include <functional>
#include <string>

#include "track/track_sample.h"

class QWidget;

enum class LogFormat { Gpx, Csv, Kml };

// The save dialog: the chosen path, or "" when the user cancelled.
using SaveFileDialog = std::function<QString(QWidget* parent, const QString& caption,
                                             const QString& suggested, const QString& filter)>;

// Installs a save dialog and returns the previous one; an empty one restores the toolkit's.
SaveFileDialog SetSaveFileDialog(SaveFileDialog dialog);

// Asks where to and writes track (loaded from logPath) there. A failed write leaves the file
// there as it was (or none) and says so in one message. True when a file was written.
bool ExportLog(QWidget* parent, LogFormat format, const TrackEntry* track,
               const std::string& logPath);
