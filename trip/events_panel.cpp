#include "trip/events_panel.h"

#include <QEvent>
#include <QHeaderView>

#include <algorithm>

#include "playback/control_form.h"
#include "skin/dialog_template.h"

namespace {
constexpr int kGsensorChart = 1161;
constexpr int kGap = 8;
constexpr int kSecondRole = Qt::UserRole;

QString ClockText(int seconds) {
    return QString::asprintf("%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
}
}  // namespace

CEventsPanel::CEventsPanel(CControlForm& form) : QTreeWidget(&form), form_(form) {
    setColumnCount(3);
    setHeaderLabels({tr("Time"), tr("Event"), tr("Peak")});
    setRootIsDecorated(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    header()->setStretchLastSection(true);
    setColumnWidth(0, 90);
    setColumnWidth(1, 130);
    connect(this, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { Choose(item); });
    connect(this, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item) { Choose(item); });
    form.installEventFilter(this);
    Place();
    show();
}

void CEventsPanel::ShowEvents(const std::vector<DrivingEvent>& events) {
    clear();
    for (const DrivingEvent& e : events) {
        auto* item = new QTreeWidgetItem(
            this, {ClockText(e.entry->index),
                   e.kind == DrivingEventKind::Harsh ? tr("Harsh driving") : tr("Bump"),
                   QString::asprintf("%.2f g", e.peak_g)});
        item->setData(0, kSecondRole, e.entry->index);
    }
}

bool CEventsPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &form_ && event->type() == QEvent::Resize)
        Place();
    return QTreeWidget::eventFilter(watched, event);
}

void CEventsPanel::Place() {
    // The chart's width, from below it to the form's bottom: room no control of the form uses.
    const QWidget* chart = GetDlgItem(&form_, kGsensorChart);
    if (chart == nullptr)
        return;
    const QRect above = chart->geometry();
    const int top = above.bottom() + 1 + kGap;
    setGeometry(above.left() + kGap, top, above.width() - kGap,
                std::max(0, form_.height() - top - kGap));
}

void CEventsPanel::Choose(const QTreeWidgetItem* item) {
    if (item == nullptr)
        return;
    const int second = item->data(0, kSecondRole).toInt();
    form_.Session().Seek(std::max(0, second - kLeadInSeconds));
}
