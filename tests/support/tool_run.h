#pragma once
// Running a command-line tool of ours and checking how it ended.

#include <QByteArray>
#include <QProcess>
#include <QStringList>

#include <functional>

struct ToolRun {
    int status = -1;  // -1: crashed or hung
    QByteArray out;
    QByteArray err;
};

// childSetup runs in the child before the tool starts (limits, signals).
inline ToolRun RunTool(const QString& program, const QStringList& args, const QString& dir = {},
                       const std::function<void()>& childSetup = {}) {
    QProcess p;
    p.setWorkingDirectory(dir);
    if (childSetup)
        p.setChildProcessModifier(childSetup);
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return {};
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

// The tools' promise: 0 starts standard output with text; 1 is the one line "TOOL: text...",
// 2 the same line followed by the usage, both on standard error alone.
inline bool EndedAs(const ToolRun& r, const QByteArray& tool, int status, const QByteArray& text) {
    if (r.status != status)
        return false;
    if (status == 0)
        return r.out.startsWith(text);
    return r.out.isEmpty() && r.err.startsWith(tool + ": " + text) &&
           (status == 1 ? r.err.count('\n') == 1 : r.err.contains("\nusage: " + tool + " "));
}
