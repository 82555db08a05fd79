#pragma once
// What the player offers around the playing recording: its driving events (a list on the
// control form and markers on the map), evidence stills, exports of its log, and the whole
// trip (every log of the list on the map, and its figures).

#include <QObject>

#include <string>
#include <vector>

#include "trip/trip_loader.h"

class CControlForm;
class CEventsPanel;
class QAction;
class QMenu;
class QTimer;
class QWidget;

class CTripTools : public QObject {
    Q_OBJECT

public:
    // The still's shortcut.
    static constexpr const char* kStillShortcut = "F12";

    // window: where the still's shortcut works and the dialogs belong.
    CTripTools(CControlForm& form, QWidget* window);
    ~CTripTools() override;

    // The context menu's items, enabled for what is loaded now.
    void AddMenuItems(QMenu& menu);
    // The still's shortcut works in that window too.
    void AddShortcutsTo(QWidget* window);

    void SaveStill();
    void ShowTripSummary();
    // The trip summary's text: the list as a whole, then the recording loaded now.
    QString TripSummaryText() const;

private:
    // Where the tracks of the list's rows come from, each once, in row order.
    std::vector<std::string> ListedSources() const;
    // Shows the events of the recording opened, or none when it gave no track.
    void OnRecordingOpened();
    void ShowTripRoutes();

    CControlForm& form_;
    QWidget* window_;
    CEventsPanel* events_;
    CTripLoader trip_;
    QAction* still_;
    QTimer* listChanged_;
};
