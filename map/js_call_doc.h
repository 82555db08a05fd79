#pragma once
// The map document: the page script of the one map view, and the views to tell of changes.

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>

#include "map/page_script.h"

class CJSCallView;

class CJSCallDoc : public QObject {
    Q_OBJECT

public:
    // Update hints: 0 everything, 3 a page completed, 6 a script call was made.
    static constexpr int kHintPageLoaded = 3;
    static constexpr int kHintScriptCalled = 6;

    explicit CJSCallDoc(QObject* parent = nullptr);

    void AddView(CJSCallView* view);
    void UpdateAllViews(CJSCallView* sender, int hint);

    // optional: a function only some pages have, left alone by a page without it.
    bool CallScript(const QString& function, const QStringList& texts, bool optional = false);
    void OnPageLoaded(const QUrl& url, QObject* document);

    CPageScript& Script() { return script_; }
    const CPageScript& Script() const { return script_; }

private:
    CPageScript script_;
    QList<QPointer<CJSCallView>> views_;
};
