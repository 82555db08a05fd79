#pragma once
// One decoded frame of a clip at a given time, for evidence stills.

#include <QImage>
#include <QString>

struct StillFrame {
    QImage image;   // the frame at the clip's own size; null when grabbing failed
    QString error;  // one line saying why, when image is null
};

// The frame on screen at positionMs of the clip: the decoder's own frame whose display time
// holds that moment, decoded from the key frame before it, at its stored size. Fails when
// the clip cannot be decoded, has no video, positionMs is negative or at or past the end, or
// the decoder has given nothing after timeoutMs.
StillFrame GrabStillFrame(const QString& clipPath, qint64 positionMs, int timeoutMs = 15000);
