#include "map/map_dlg.h"

#include "skin/dialog_template.h"

CMapDlg::CMapDlg(QWidget* parent) : QWidget(parent), anchors_(this) {
    if (const std::optional<DialogTemplate> tmpl = LoadDialogTemplate(kDialogId)) {
        resize(tmpl->PixelSize());
        CreateDialogControls(this, *tmpl);
    }
    startTimer_.setInterval(kStartDelayMs);
    connect(&startTimer_, &QTimer::timeout, this, &CMapDlg::OnTimer);
    startTimer_.start();
    for (const int id : {kMapControlId, kFrameId}) anchors_.Anchor(id);
    anchors_.Apply();
}

void CMapDlg::OnTimer() {
    // Killed first: discovery blocks, and must run once only.
    startTimer_.stop();
    emit StartMapRequested();
}

void CMapDlg::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    anchors_.Apply();
    update();
    emit Resized();
}
