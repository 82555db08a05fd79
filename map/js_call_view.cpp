#include "map/js_call_view.h"

#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>

#include <utility>

#include "map/js_call_doc.h"
#include "map/origin_guard.h"
#include "skin/dialog_template.h"

namespace {
constexpr int kFirstHttpError = 400;
}  // namespace

// A profile of its own, so that its interceptor judges every request the map page makes, and
// no other page's.
CJSCallView::CJSCallView(QWidget* parent) : QWebEngineView(parent) {
    auto* profile = new QWebEngineProfile(this);
    guard_ = new COriginGuard(profile);
    profile->setUrlRequestInterceptor(guard_);
    setPage(new CGuardedPage(profile, guard_, this));
    connect(page(), &QWebEnginePage::loadingChanged, this, &CJSCallView::OnLoadingChanged);
}

// The page goes before the profile it was made with.
CJSCallView::~CJSCallView() {
    delete page();
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
    Load(url);
}

void CJSCallView::Load(const QUrl& url) {
    guard_->SetPage(url);
    load(url);
}

void CJSCallView::OnUpdate(CJSCallView* /*sender*/, int hint) {
    if (hint == 0 || hint == CJSCallDoc::kHintPageLoaded)
        update();
}

// A failed load, or an error page of the server, is no completed document: it has none of the
// map's functions. So is a load stopped by the guard (a redirect to another server).
void CJSCallView::OnLoadingChanged(const QWebEngineLoadingInfo& info) {
    const bool failed = info.status() == QWebEngineLoadingInfo::LoadFailedStatus ||
                        info.status() == QWebEngineLoadingInfo::LoadStoppedStatus ||
                        info.isErrorPage() ||
                        (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain &&
                         info.errorCode() >= kFirstHttpError);
    if (failed && !fallback_.isEmpty()) {
        Load(std::exchange(fallback_, QUrl()));
        return;
    }
    if (info.status() != QWebEngineLoadingInfo::LoadSucceededStatus || failed)
        return;
    fallback_.clear();
    if (document_)
        document_->OnPageLoaded(info.url(), page());
}
