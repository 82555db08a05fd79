#pragma once
// The program's start-up and end: one instance, the main window run modally, the folder
// saved when the window is closed.

class QApplication;

int RunVantrail(QApplication& application);
