#include "map/browser_engine.h"

#include <unistd.h>

#include <QByteArray>
#include <QByteArrayList>
#include <QRegularExpression>
#include <QString>

namespace {
// A server as a rule of the engine's proxy bypass list: scheme://host[:port], a placeholder
// of a template become '*'; "" when there is no host.
QByteArray BypassRule(const std::string& server) {
    QString text = QString::fromStdString(server);
    const qsizetype schemeEnd = text.indexOf(QLatin1String("://"));
    if (schemeEnd <= 0)
        return {};
    const QString scheme = text.left(schemeEnd).toLower();
    QString authority = text.mid(schemeEnd + 3).section(QLatin1Char('/'), 0, 0);
    authority = authority.section(QLatin1Char('@'), -1);  // no user or password
    authority.replace(QRegularExpression(QStringLiteral("\\{[^}]*\\}")), QStringLiteral("*"));
    if (authority.isEmpty() || authority.contains(QRegularExpression(QStringLiteral("[\\s;,]"))))
        return {};
    if (!authority.contains(QLatin1Char(':')) && !authority.contains(QLatin1Char('*')))
        authority +=
            scheme == QLatin1String("https") ? QStringLiteral(":443") : QStringLiteral(":80");
    return (scheme + QStringLiteral("://") + authority).toUtf8();
}
}  // namespace

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

void ConfineBrowserEngine(const std::vector<std::string>& servers) {
    // Port 1 of loopback: nothing there, so a request sent to it fails at once.
    QByteArray bypass = "<-loopback>";
    for (const std::string& server : servers) {
        if (const QByteArray rule = BypassRule(server); !rule.isEmpty())
            bypass += ";" + rule;
    }
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    flags += (flags.isEmpty() ? "" : " ") + QByteArray("--proxy-server=http://127.0.0.1:1") +
             " --proxy-bypass-list=" + bypass;
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
}
