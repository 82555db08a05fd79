#pragma once
// The player's command line: --help and --version answered before any window exists, and
// the clips, logs and folders to open.

#include <QString>
#include <QStringList>

struct CommandLine {
    enum class Action { Run, Help, Version, UsageError };
    Action action = Action::Run;
    QStringList paths;  // as given, in order
    QString error;      // the usage error
};

// Needs no QCoreApplication: it runs before the toolkit looks for a display.
CommandLine ParseCommandLine(int argc, char** argv);

// Prints the answer to --help, --version or a usage error and returns the exit status
// (0, or 2 for a usage error).
int AnswerCommandLine(const CommandLine& command);

// The clips and logs to open, as absolute paths: a file as given, a folder's clips and logs
// by name. A path that does not exist, is not a clip or log, or is a folder without any
// gets one line in `skipped` instead.
QStringList CollectRecordings(const QStringList& paths, QStringList* skipped);
