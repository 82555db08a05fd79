#include "trip/log_export.h"

#include <QFileDialog>
#include <QFileInfo>

#include <cstring>

#include "app/format.h"
#include "app/message.h"
#include "track/driving_events.h"
#include "track/track_outputs.h"

namespace {

QString ToolkitSaveDialog(QWidget* parent, const QString& caption, const QString& suggested,
                          const QString& filter) {
    return QFileDialog::getSaveFileName(parent, caption, suggested, filter);
}

SaveFileDialog& Dialog() {
    static SaveFileDialog dialog = ToolkitSaveDialog;
    return dialog;
}

struct FormatInfo {
    const char* name;
    const char* suffix;
};

FormatInfo Info(LogFormat format) {
    switch (format) {
        case LogFormat::Gpx:
            return {"GPX", "gpx"};
        case LogFormat::Csv:
            return {"CSV", "csv"};
        case LogFormat::Kml:
            return {"KML", "kml"};
    }
    return {"", ""};
}

}  // namespace

SaveFileDialog SetSaveFileDialog(SaveFileDialog dialog) {
    SaveFileDialog previous = std::move(Dialog());
    Dialog() = dialog ? std::move(dialog) : ToolkitSaveDialog;
    return previous;
}

bool ExportLog(QWidget* parent, LogFormat format, const TrackEntry* track,
               const std::string& logPath) {
    const FormatInfo info = Info(format);
    const QFileInfo log(QString::fromStdString(logPath));
    const QString suggested = log.dir().filePath(log.completeBaseName() + '.' + info.suffix);
    const QString chosen =
        Dialog()(parent, QStringLiteral("Export %1").arg(info.name), suggested,
                 QStringLiteral("%1 (*.%2)").arg(info.name, QString::fromLatin1(info.suffix)));
    if (chosen.isEmpty())
        return false;

    // The same calls as vantrail-track, so the same bytes.
    const std::string name = log.fileName().toStdString();
    const std::string path = QFile::encodeName(chosen).toStdString();
    const int error = WriteOutputFile(path, [&](std::FILE* out) {
        switch (format) {
            case LogFormat::Gpx:
                return WriteGpx(out, track, name);
            case LogFormat::Csv:
                return WriteCsv(out, track);
            case LogFormat::Kml:
                return WriteKml(out, track, FindDrivingEvents(track), name);
        }
        return false;
    });
    if (error != 0) {
        ShowMessage(FormatText("Cannot write %s: %s", path.c_str(), std::strerror(error)));
        return false;
    }
    return true;
}
