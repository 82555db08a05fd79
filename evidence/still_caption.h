#pragma once
// The caption band of an evidence still: which recording, when, and what the log says about
// that second, drawn below the frame.

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

#include "track/output_file.h"
#include "track/track_sample.h"

struct StillCaption {
    QString fileName;                   // the recording's file name, without its folder
    qint64 clipTimeMs = 0;              // where in the clip the frame is
    std::optional<TrackSample> sample;  // the log's sample of that second; none without a log
};

// The caption's lines, each as its fields: the file name and clip time; then, from the
// sample, its UTC date and time, speed in km/h and mph, course; and its position in decimal
// degrees (six places) and the magnitude of its acceleration.
QList<QStringList> StillCaptionLines(const StillCaption& caption);

// The frame, unchanged, with the caption band below it: as wide as the frame and as tall as
// its text, light text on a dark band in a sans font sized to the frame's width. A line too
// wide for the frame wraps between its fields; a frame narrower than one field gets a wider
// band, the frame at its left.
QImage DrawStillCaption(const QImage& frame, const StillCaption& caption);

// Writes image as a PNG at path through WriteOutputFile, so that no still is ever seen half
// written. 0 when written, else the errno of the failure.
int WriteStillPng(const QImage& image, const QString& path, OutputMode mode);
