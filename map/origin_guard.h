#pragma once
// Keeps the map view at the server of its page: requests to any other origin (scheme, host
// and port) are blocked before they leave, and the page cannot navigate away. Our own page
// may also fetch the tiles of the source its URL names (?tiles=), which is how it draws them.

#include <QRegularExpression>
#include <QSet>
#include <QString>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineUrlRequestInterceptor>

class COriginGuard : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT

public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

    // The page about to be loaded: from now on only its origin is reached.
    void SetPage(const QUrl& page);
    // Whether url may be loaded; the first refusal for each origin gets a History.log line.
    bool Allow(const QUrl& url);

    void interceptRequest(QWebEngineUrlRequestInfo& info) override;

private:
    QString origin_;
    QRegularExpression tiles_;  // the tile addresses of our own page; none matches by default
    QSet<QString> reported_;
};

// The map view's page, which only goes where the guard allows.
class CGuardedPage : public QWebEnginePage {
    Q_OBJECT

public:
    CGuardedPage(QWebEngineProfile* profile, COriginGuard* guard, QObject* parent);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;

private:
    COriginGuard* guard_;
};
