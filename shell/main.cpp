#include <QApplication>

#include <cstdio>

#include "map/browser_engine.h"
#include "shell/command_line.h"
#include "shell/render_backend.h"
#include "shell/startup.h"
#include "vantrail_version.h"

int main(int argc, char* argv[]) {
    // --help and --version answer without a display.
    const CommandLine command = ParseCommandLine(argc, argv);
    if (command.action != CommandLine::Action::Run)
        return AnswerCommandLine(command);

    if (const std::string why = NoDisplayReason(); !why.empty()) {
        std::fprintf(stderr, "vantrail: no display: %s\n", why.c_str());
        return 1;
    }
    ChooseRenderBackend();
    PrepareBrowserEngine();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantrail"));
    QApplication::setApplicationVersion(QString::fromLatin1(kVantrailVersion));
    // Lets the desktop match the window to its entry and icon.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kVantrailAppId));
    return RunVantrail(application, command.paths);
}
