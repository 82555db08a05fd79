#include "trip/events_panel.h"

#include <QEvent>
#include <QHeaderView>

#include <algorithm>

#include "playback/control_form.h"

namespace {
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
    connect(this, &QTreeWidget::itemClicked, this, &CEventsPanel::Choose);
    connect(this, &QTreeWidget::itemActivated, this, &CEventsPanel::Choose);
    form.installEventFilter(this);
    Place();
    show();
}

void CEventsPanel::ShowEvents(const std::vector<DrivingEvent>& events, const std::string& logPath) {
    clear();
    logPath_ = logPath;
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
    const QRect room = form_.FreeRoom();
    setGeometry(room.adjusted(kGap, kGap, 0, -kGap));
}

void CEventsPanel::Choose(QTreeWidgetItem* item) {
    // A failed open has released the track these events were found in.
    if (item == nullptr || form_.Session().TrackPath() != logPath_)
        return;
    const int second = item->data(0, kSecondRole).toInt();
    form_.Session().Seek(std::max(0, second - kLeadInSeconds));
}
