#include <QApplication>

#include "shell/startup.h"
#include "map/browser_engine.h"
#include "shell/render_backend.h"

int main(int argc, char* argv[]) {
    ChooseRenderBackend();
    PrepareBrowserEngine();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantrail"));
    return RunVantrail(application);
}
