#include "shell/command_line.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>

#include "library/recording_list.h"
#include "vantrail_version.h"

namespace {
constexpr char kHelp[] =
    "Usage: vantrail [OPTION]... [FILE|FOLDER]...\n"
    "Play vehicle-camera recordings: clips (.mov, .mp4, .ts) with the .nmea or .gps log of the\n"
    "same name beside them, or the GPS and G-sensor data inside them.\n"
    "\n"
    "The clips and logs given, and those in each FOLDER given, fill the recording list as\n"
    "if they were dropped on it, and the first row plays. A folder's log that a clip of the\n"
    "same name there plays with gets no row of its own. When the player is already\n"
    "running, they go to it instead.\n"
    "\n"
    "  -h, --help     show this help and exit\n"
    "      --version  show the version and exit\n";

// A clip or log, by the rule a drop uses.
bool IsRecording(const QString& path) {
    return KindOfFile(QFileInfo(path).fileName().toStdString()) != FileKind::Unknown;
}
}  // namespace

CommandLine ParseCommandLine(int argc, char** argv) {
    CommandLine command;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (options && arg == QLatin1String("--")) {
            options = false;
        } else if (options && (arg == QLatin1String("-h") || arg == QLatin1String("--help"))) {
            command.action = CommandLine::Action::Help;
            return command;
        } else if (options && arg == QLatin1String("--version")) {
            command.action = CommandLine::Action::Version;
            return command;
        } else if (options && arg.startsWith('-') && arg.size() > 1) {
            command.action = CommandLine::Action::UsageError;
            command.error = QStringLiteral("unknown option '%1'").arg(arg);
            return command;
        } else {
            command.paths << arg;
        }
    }
    return command;
}

int AnswerCommandLine(const CommandLine& command) {
    switch (command.action) {
        case CommandLine::Action::Help:
            std::fputs(kHelp, stdout);
            return 0;
        case CommandLine::Action::Version:
            std::printf("vantrail %s\n", kVantrailVersion);
            return 0;
        case CommandLine::Action::UsageError:
            std::fprintf(stderr, "vantrail: %s\nTry 'vantrail --help' for more information.\n",
                         qPrintable(command.error));
            return 2;
        case CommandLine::Action::Run:
            break;
    }
    return 0;
}

QStringList CollectRecordings(const QStringList& paths, QStringList* skipped) {
    QStringList recordings;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (!info.exists()) {
            *skipped << QStringLiteral("%1: no such file or folder").arg(path);
        } else if (info.isDir()) {
            QStringList found;
            for (const QFileInfo& entry :
                 QDir(path).entryInfoList(QDir::Files | QDir::Readable, QDir::Name)) {
                if (IsRecording(entry.fileName()))
                    found << entry.absoluteFilePath();
            }
            if (found.isEmpty())
                *skipped << QStringLiteral("%1: no clips or logs in this folder").arg(path);
            // A camera's folder holds each clip's log beside it: each drive plays once.
            recordings << OneRowPerDrive(found);
        } else if (IsRecording(path)) {
            recordings << info.absoluteFilePath();
        } else {
            *skipped
                << QStringLiteral("%1: not a clip or log (.mov, .mp4, .ts, .nmea, .gps)").arg(path);
        }
    }
    return recordings;
}
