#include "map/js_call_view.h"

#include <QWebEngineLoadingInfo>

#include <utility>

#include "map/js_call_doc.h"
#include "skin/dialog_template.h"

namespace {
constexpr int kFirstHttpError = 400;
}  // namespace

CJSCallView::CJSCallView(QWidget* parent) : QWebEngineView(parent) {
    connect(page(), &QWebEnginePage::loadingChanged, this, &CJSCallView::OnLoadingChanged);
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

void CJSCallView::Navigate(const QUrl& url, const QUrl& fallback) {
    fallback_ = fallback;
    load(url);
}

void CJSCallView::OnUpdate(CJSCallView* /*sender*/, int hint) {
    if (hint == 0 || hint == CJSCallDoc::kHintPageLoaded)
        update();
}

// A failed load, or an error page of the server, is no completed document: it has none of the
// map's functions.
void CJSCallView::OnLoadingChanged(const QWebEngineLoadingInfo& info) {
    const bool failed = info.status() == QWebEngineLoadingInfo::LoadFailedStatus ||
                        info.isErrorPage() ||
                        (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain &&
                         info.errorCode() >= kFirstHttpError);
    if (failed && !fallback_.isEmpty()) {
        load(std::exchange(fallback_, QUrl()));
        return;
    }
    if (info.status() != QWebEngineLoadingInfo::LoadSucceededStatus || failed)
        return;
    fallback_.clear();
    if (document_)
        document_->OnPageLoaded(info.url(), page());
}
