#include "trip/evidence_still.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>

#include "app/format.h"
#include "app/message.h"
#include "evidence/still_caption.h"
#include "evidence/still_frame.h"
#include "library/recording_list.h"
#include "playback/playback_session.h"
#include "playback/video_window.h"
#include "track/track.h"

QString StillFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::PicturesLocation) + "/Vantrail";
}

QString SaveStillImage(const QImage& image, const QString& folder, const QString& clipPath,
                       qint64 clipTimeMs, QString* error) {
    if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("cannot make the folder %1").arg(folder);
        return {};
    }
    const qint64 s = clipTimeMs / 1000;
    const QString stem = QStringLiteral("%1/%2_%3-%4-%5")
                             .arg(folder, QFileInfo(clipPath).completeBaseName())
                             .arg(s / 3600, 2, 10, QChar('0'))
                             .arg(s / 60 % 60, 2, 10, QChar('0'))
                             .arg(s % 60, 2, 10, QChar('0'));
    for (int n = 1;; ++n) {
        const QString path = n == 1 ? stem + ".png" : QStringLiteral("%1-%2.png").arg(stem).arg(n);
        // NewOnly: the name is taken by a whole file or not at all, and nothing is replaced.
        const int result = WriteStillPng(image, path, OutputMode::NewOnly);
        if (result == 0)
            return path;
        if (result != EEXIST) {
            *error = QString::fromLocal8Bit(std::strerror(result));
            return {};
        }
    }
}

void SaveEvidenceStill(const CRecordingSelection& recordings, const PlaybackSession& session,
                       bool swapped) {
    const std::string clip = recordings.GetSelFilePath();
    const FileKind kind = KindOfFile(clip);
    if (!IsClip(kind)) {
        ShowMessage("No picture to save: the selected row is not a clip.");
        return;
    }
    const QString clipPath = QFile::decodeName(clip.c_str());
    // The backend's own position: the frame on screen, to the millisecond.
    const qint64 atMs =
        session.Player() != nullptr && session.Player()->GetMediaState() != MediaState::Stopped
            ? session.Player()->PositionMs()
            : session.ClockMs();
    StillFrame frame = GrabStillFrame(clipPath, atMs);
    if (frame.image.isNull()) {
        ShowMessage(FormatText("No picture to save: %s", qUtf8Printable(frame.error)));
        return;
    }
    // A rear clip that ends before the front leaves the front's frame alone.
    if (const std::string rear = RearClipOf(clip); !rear.empty()) {
        const StillFrame other = GrabStillFrame(QFile::decodeName(rear.c_str()), atMs);
        if (!other.image.isNull()) {
            QImage picture = swapped ? other.image : frame.image;
            QPainter painter(&picture);
            DrawInset(painter, picture.rect(), swapped ? frame.image : other.image);
            painter.end();
            frame.image = picture;
        }
    }
    StillCaption caption{QFileInfo(clipPath).fileName(), atMs, std::nullopt};
    // Only the clip's own track speaks for it.
    if (session.TrackRow() == clip) {
        if (const TrackEntry* entry = FindSample(const_cast<TrackEntry*>(session.Track()),
                                                 static_cast<int32_t>(atMs / 1000)))
            caption.sample = entry->sample;
    }
    QString error;
    const QString saved = SaveStillImage(DrawStillCaption(frame.image, caption), StillFolder(),
                                         clipPath, atMs, &error);
    if (saved.isEmpty())
        ShowMessage(FormatText("Cannot save the still: %s", qUtf8Printable(error)));
    else
        ShowMessage(FormatText("Still saved to %s", qUtf8Printable(saved)));
}
