#pragma once
// Evidence stills from the player: the frame on screen now with its caption band, saved
// beside the user's pictures without ever replacing a file.

#include <QImage>
#include <QString>

#include <cstdint>

class PlaybackSession;
class CRecordingSelection;

// Writes image as a new PNG in folder, named after the clip and the clip time, such as
// REC0001_00-00-12.png, or REC0001_00-00-12-2.png, -3 ... when that name is taken. The path
// written, or "" with the reason in error.
QString SaveStillImage(const QImage& image, const QString& folder, const QString& clipPath,
                       qint64 clipTimeMs, QString* error);

// The folder stills go to: the user's pictures folder + "/Vantrail".
QString StillFolder();

// The still of the selected clip at the player's position, as vantrail-still draws it,
// captioned from the loaded log when it is that clip's own; then a message says where it
// went, or why there is none. A front clip with a rear one is saved as the picture shows
// them: the rear clip's frame of the same moment inset, or, swapped, the front's in the rear's.
void SaveEvidenceStill(const CRecordingSelection& recordings, const PlaybackSession& session,
                       bool swapped);
