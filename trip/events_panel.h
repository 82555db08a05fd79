#pragma once
// The driving events of the loaded recording, listed in the free room under the G-sensor
// chart; choosing one puts the clip and the log a few seconds before it, playing on or not.

#include <QTreeWidget>

#include <string>
#include <vector>

#include "track/driving_events.h"

class CControlForm;
class PlaybackSession;

class CEventsPanel : public QTreeWidget {
    Q_OBJECT

public:
    // Seconds of lead-in before an event, so that what led to it is seen.
    static constexpr int kLeadInSeconds = 3;

    // A child of form, below its G-sensor chart.
    explicit CEventsPanel(CControlForm& form);

    // The events of the track loaded from logPath.
    void ShowEvents(const std::vector<DrivingEvent>& events, const std::string& logPath);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Place();
    void Choose(QTreeWidgetItem* item);

    CControlForm& form_;
    std::string logPath_;
};
