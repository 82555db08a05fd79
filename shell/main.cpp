#include <QApplication>

#include "shell/startup.h"
#include "map/browser_engine.h"

int main(int argc, char* argv[]) {
    PrepareBrowserEngine();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantrail"));
    return RunVantrail(application);
}
