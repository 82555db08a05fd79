#pragma once
// The browser view of the map window; it takes the place of a placeholder control.

#include <QPointer>
#include <QUrl>
#include <QWebEngineView>

class CJSCallDoc;
class QWebEngineLoadingInfo;

class CJSCallView : public QWebEngineView {
    Q_OBJECT

public:
    explicit CJSCallView(QWidget* parent = nullptr);

    // Replaces the child control id of parent: same place, same id. 0 when there is no such
    // control (the view then stays without a parent).
    int CreateInPlace(int controlId, QWidget* parent);

    void SetDocument(CJSCallDoc* document);

    // Shows url; when it fails to load, or answers with an HTTP error, shows fallback instead
    // (once), when one is given.
    void Navigate(const QUrl& url, const QUrl& fallback = QUrl());
    void OnUpdate(CJSCallView* sender, int hint);

private:
    void OnLoadingChanged(const QWebEngineLoadingInfo& info);

    QPointer<CJSCallDoc> document_;
    QUrl fallback_;
};
