#include "map/browser_engine.h"

#include <unistd.h>

#include <QByteArray>
#include <QByteArrayList>

void PrepareBrowserEngine() {
    static const QByteArrayList kQuiet = {"--disable-background-networking",
                                          "--disable-component-update", "--disable-sync",
                                          "--no-first-run"};
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    const QByteArrayList given = flags.split(' ');
    for (const QByteArray& flag : kQuiet) {
        if (!given.contains(flag))
            flags += (flags.isEmpty() ? "" : " ") + flag;
    }
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}
