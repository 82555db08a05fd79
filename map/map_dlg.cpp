#include "map/map_dlg.h"

#include <QMetaObject>

#include "app/app_state.h"
#include "skin/dialog_template.h"

namespace {
// The control form is written against the map window only through these named operations.
void CallControlForm(const char* operation) {
    if (theApp().controlForm != nullptr)
        QMetaObject::invokeMethod(theApp().controlForm, operation, Qt::DirectConnection);
}
}  // namespace

CMapDlg::CMapDlg(QWidget* parent) : QWidget(parent) {
    if (const std::optional<DialogTemplate> tmpl = LoadDialogTemplate(kDialogId)) {
        resize(tmpl->PixelSize());
        CreateDialogControls(this, *tmpl);
    }
    startTimer_.setInterval(kStartDelayMs);
    connect(&startTimer_, &QTimer::timeout, this, &CMapDlg::OnTimer);
    OnInitDialog();
}

CMapDlg::~CMapDlg() {
    if (theApp().mapWindow == this)
        theApp().mapWindow = nullptr;
}

void CMapDlg::OnInitDialog() {
    theApp().mapWindow = this;
    startTimer_.start();
    RecordLayout();
    ApplyLayout();
}

void CMapDlg::OnTimer() {
    // Killed first: discovery blocks, and must run once only.
    startTimer_.stop();
    CallControlForm("StartMap");
}

void CMapDlg::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!findChildren<QWidget*>(Qt::FindDirectChildrenOnly).isEmpty())
        ApplyLayout();
    CallControlForm("ResizeMap");
}

void CMapDlg::RecordLayout() {
    layout_.clear();
    for (const int id : {kMapControlId, kFrameId}) {
        if (const QWidget* control = GetDlgItem(this, id)) {
            const QRect r = control->geometry();
            layout_.append(
                {id, r.left(), r.top(), width() - (r.right() + 1), height() - (r.bottom() + 1)});
        }
    }
}

void CMapDlg::ApplyLayout() {
    for (const Anchor& a : layout_) {
        if (QWidget* control = GetDlgItem(this, a.id))
            control->setGeometry(QRect(QPoint(a.left, a.top),
                                       QPoint(width() - a.right - 1, height() - a.bottom - 1)));
    }
    update();
}
