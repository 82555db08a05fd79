#include "map/js_call_view.h"

#include "map/js_call_doc.h"
#include "skin/dialog_template.h"

CJSCallView::CJSCallView(QWidget* parent) : QWebEngineView(parent) {
    connect(this, &QWebEngineView::loadFinished, this, &CJSCallView::OnDocumentComplete);
}

int CJSCallView::CreateInPlace(int controlId, QWidget* parent) {
    QWidget* placeholder = GetDlgItem(parent, controlId);
    if (placeholder == nullptr)
        return 0;
    const QRect place = placeholder->geometry();
    delete placeholder;
    setParent(parent);
    // The same id as the control it replaces, so the window still finds it by id.
    setProperty("controlId", controlId);
    setObjectName(QString::number(controlId));
    setGeometry(place);
    show();
    return 1;
}

void CJSCallView::SetDocument(CJSCallDoc* document) {
    document_ = document;
    if (document != nullptr)
        document->AddView(this);
}

void CJSCallView::Navigate(const QUrl& url) {
    load(url);
}

void CJSCallView::OnUpdate(CJSCallView* /*sender*/, int hint) {
    if (hint == 0 || hint == CJSCallDoc::kHintPageLoaded)
        update();
}

// A failed load is no completed document: its page has none of the map's functions.
void CJSCallView::OnDocumentComplete(bool ok) {
    if (ok && document_)
        document_->OnPageLoaded(url(), page());
}
