#include "map/origin_guard.h"

#include <QUrlQuery>
#include <QWebEngineUrlRequestInfo>

#include "app/history_log.h"

namespace {
// Scheme, host and port; a web socket belongs to the HTTP origin of the same server.
QString OriginOf(const QUrl& url) {
    QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("ws"))
        scheme = QStringLiteral("http");
    else if (scheme == QLatin1String("wss"))
        scheme = QStringLiteral("https");
    const int port = url.port(scheme == QLatin1String("http")    ? 80
                              : scheme == QLatin1String("https") ? 443
                                                                 : -1);
    return scheme + QStringLiteral("://") + url.host().toLower() + QLatin1Char(':') +
           QString::number(port);
}

// The addresses a tile template such as https://{s}.tile.example.org/{z}/{x}/{y}.png stands
// for: a placeholder is any part of a host name in the host, any part of a path segment after.
QRegularExpression TilePattern(const QString& tiles) {
    static const QRegularExpression placeholder(QStringLiteral("\\{[^}]*\\}"));
    const qsizetype hostStart = tiles.indexOf(QLatin1String("://"));
    const qsizetype pathStart = hostStart < 0 ? -1 : tiles.indexOf(QLatin1Char('/'), hostStart + 3);
    QString pattern;
    qsizetype at = 0;
    for (auto it = placeholder.globalMatch(tiles); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        pattern += QRegularExpression::escape(tiles.mid(at, m.capturedStart() - at));
        pattern += pathStart < 0 || m.capturedStart() < pathStart ? QStringLiteral("[a-z0-9-]*")
                                                                  : QStringLiteral("[^/?#]*");
        at = m.capturedEnd();
    }
    pattern += QRegularExpression::escape(tiles.mid(at));
    return QRegularExpression(QRegularExpression::anchoredPattern(pattern),
                              QRegularExpression::CaseInsensitiveOption);
}
}  // namespace

void COriginGuard::SetPage(const QUrl& page) {
    origin_ = OriginOf(page);
    reported_.clear();
    const QString tiles =
        page.scheme() == QLatin1String("qrc")
            ? QUrlQuery(page).queryItemValue(QStringLiteral("tiles"), QUrl::FullyDecoded)
            : QString();
    tiles_ = tiles.isEmpty() ? QRegularExpression() : TilePattern(tiles);
}

bool COriginGuard::Allow(const QUrl& url) {
    if (OriginOf(url) == origin_ ||
        (!tiles_.pattern().isEmpty() && tiles_.match(url.toString(QUrl::FullyEncoded)).hasMatch()))
        return true;
    if (!reported_.contains(OriginOf(url))) {
        reported_.insert(OriginOf(url));
        WriteHistoryLog("Map page request to %s blocked!\n",
                        url.toString(QUrl::FullyEncoded).toUtf8().constData());
    }
    return false;
}

void COriginGuard::interceptRequest(QWebEngineUrlRequestInfo& info) {
    // Data the page already holds goes nowhere.
    const QString scheme = info.requestUrl().scheme();
    if (scheme == QLatin1String("data") || scheme == QLatin1String("blob"))
        return;
    if (!Allow(info.requestUrl()))
        info.block(true);
}

CGuardedPage::CGuardedPage(QWebEngineProfile* profile, COriginGuard* guard, QObject* parent)
    : QWebEnginePage(profile, parent), guard_(guard) {}

bool CGuardedPage::acceptNavigationRequest(const QUrl& url, NavigationType, bool) {
    return guard_->Allow(url);
}
