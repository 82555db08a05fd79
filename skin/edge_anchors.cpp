#include "skin/edge_anchors.h"

#include <QWidget>

#include "skin/dialog_template.h"

void CEdgeAnchors::Anchor(int id, Qt::Edges follow) {
    if (const QWidget* control = GetDlgItem(window_, id))
        items_.push_back({id, control->geometry(), window_->size(), follow});
}

void CEdgeAnchors::Apply() const {
    for (const Item& item : items_) {
        QWidget* control = GetDlgItem(window_, item.id);
        if (control == nullptr)
            continue;
        const QSize grown = window_->size() - item.windowSize;
        QRect r = item.at;
        if (item.follow & Qt::RightEdge)
            r.setRight(r.right() + grown.width());
        if (item.follow & Qt::BottomEdge)
            r.setBottom(r.bottom() + grown.height());
        control->setGeometry(r);
    }
}
