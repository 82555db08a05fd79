#pragma once
// The browser view of the map window; it takes the place of a placeholder control. It reaches
// only the origin of the page it was sent to (see COriginGuard).

#include <QPointer>
#include <QUrl>
#include <QWebEngineView>

class CJSCallDoc;
class COriginGuard;
class QWebEngineLoadingInfo;

class CJSCallView : public QWebEngineView {
    Q_OBJECT

public:
    explicit CJSCallView(QWidget* parent = nullptr);
    ~CJSCallView() override;

    // Replaces the child control id of parent: same place, same id. 0 when there is no such
    // control (the view then stays without a parent).
    int CreateInPlace(int controlId, QWidget* parent);

    void SetDocument(CJSCallDoc* document);

    // Shows url; when it fails to load, or answers with an HTTP error, shows fallback instead
    // (once), when one is given.
    void Navigate(const QUrl& url, const QUrl& fallback = QUrl());
    void OnUpdate(CJSCallView* sender, int hint);

private:
    void Load(const QUrl& url);
    void OnLoadingChanged(const QWebEngineLoadingInfo& info);

    COriginGuard* guard_ = nullptr;  // the interceptor of the view's own profile
    QPointer<CJSCallDoc> document_;
    QUrl fallback_;
};
