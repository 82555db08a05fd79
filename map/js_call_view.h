#pragma once
// The browser view of the map window; it takes the place of a placeholder control.

#include <QPointer>
#include <QWebEngineView>

class CJSCallDoc;

class CJSCallView : public QWebEngineView {
    Q_OBJECT

public:
    explicit CJSCallView(QWidget* parent = nullptr);

    // Replaces the child control id of parent: same place, same id. 0 when there is no such
    // control (the view then stays without a parent).
    int CreateInPlace(int controlId, QWidget* parent);

    void SetDocument(CJSCallDoc* document);

    void Navigate(const QUrl& url);
    void OnUpdate(CJSCallView* sender, int hint);

private:
    void OnDocumentComplete(bool ok);

    QPointer<CJSCallDoc> document_;
};
