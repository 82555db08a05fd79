#pragma once
// The playback commands of the keys and the context menu: play and pause, skips, frame steps,
// speed, mute and the next or previous recording. The keys work in the widgets watched (the
// video page and the full-screen picture); the control form and the map keep their own.

#include <QObject>
#include <QString>

class CControlForm;
class QMenu;
class QWidget;

class CPlaybackCommands : public QObject {
    Q_OBJECT

public:
    CPlaybackCommands(CControlForm& form, QObject* parent);

    // The keys act while widget has the focus.
    void Watch(QWidget* widget);
    // The speed submenu with the current speed checked, and the frame steps, enabled for a
    // paused clip.
    void AddMenuItems(QMenu& menu);
    // One line per key: the key, a tab, what it does.
    static QString KeysText();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CControlForm& form_;
};
