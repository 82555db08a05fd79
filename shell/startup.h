#pragma once
// The program's start-up and end: one instance, the main window run modally, the folder
// saved when the window is closed.

#include <QStringList>

class QApplication;

// paths: the clips, logs and folders of the command line. When another instance runs they
// are handed to it; otherwise the new window opens them. Returns the exit status.
int RunVantrail(QApplication& application, const QStringList& paths);
