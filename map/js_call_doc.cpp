#include "map/js_call_doc.h"

#include "map/js_call_view.h"

CJSCallDoc::CJSCallDoc(QObject* parent) : QObject(parent) {}

void CJSCallDoc::AddView(CJSCallView* view) {
    if (view != nullptr && !views_.contains(view))
        views_.append(view);
}

void CJSCallDoc::UpdateAllViews(CJSCallView* sender, int hint) {
    for (const QPointer<CJSCallView>& view : views_) {
        if (view && view != sender)
            view->OnUpdate(sender, hint);
    }
}

bool CJSCallDoc::CallScript(const QString& function, const QStringList& texts, bool optional) {
    const bool called = optional ? script_.CallFunctionIfDefined(function, texts)
                                 : script_.CallFunction(function, texts);
    UpdateAllViews(nullptr, kHintScriptCalled);
    return called;
}

void CJSCallDoc::OnPageLoaded(const QUrl& /*url*/, QObject* document) {
    script_.SetDocument(document);
    UpdateAllViews(nullptr, kHintPageLoaded);
}
