#include "playback/playback_commands.h"

#include <QActionGroup>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QPointer>
#include <QTimer>

#include "playback/control_form.h"

namespace {

struct KeyCommand {
    QKeyCombination key;
    const char* text;
    void (*run)(CControlForm& form);
};

constexpr auto kShift = Qt::ShiftModifier;
const KeyCommand kKeys[] = {
    {Qt::Key_Space, "Play / pause", [](CControlForm& f) { f.Session().PlayPause(); }},
    {Qt::Key_Left, "5 s back", [](CControlForm& f) { f.Session().SkipMs(-5000); }},
    {Qt::Key_Right, "5 s forward", [](CControlForm& f) { f.Session().SkipMs(5000); }},
    {kShift | Qt::Key_Left, "1 s back", [](CControlForm& f) { f.Session().SkipMs(-1000); }},
    {kShift | Qt::Key_Right, "1 s forward", [](CControlForm& f) { f.Session().SkipMs(1000); }},
    {Qt::Key_Comma, "Previous frame (paused)", [](CControlForm& f) { f.Session().StepFrames(-1); }},
    {Qt::Key_Period, "Next frame (paused)", [](CControlForm& f) { f.Session().StepFrames(1); }},
    {Qt::Key_BracketLeft, "Slower", [](CControlForm& f) { f.Session().ChangeRate(false); }},
    {Qt::Key_BracketRight, "Faster", [](CControlForm& f) { f.Session().ChangeRate(true); }},
    {Qt::Key_M, "Mute / sound on", [](CControlForm& f) { f.ToggleMute(); }},
    {Qt::Key_PageUp, "Previous recording", [](CControlForm& f) { f.Session().PrevRecording(); }},
    {Qt::Key_PageDown, "Next recording", [](CControlForm& f) { f.Session().NextRecording(); }},
};

QString KeyName(QKeyCombination key) {
    return QKeySequence(key).toString(QKeySequence::NativeText);
}

const KeyCommand* CommandFor(const QKeyEvent& event) {
    // The keypad's arrows are the arrows; other modifiers make another key.
    constexpr auto kCounted =
        Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    const QKeyCombination pressed(event.modifiers() & kCounted, Qt::Key(event.key()));
    for (const KeyCommand& command : kKeys)
        if (command.key == pressed)
            return &command;
    return nullptr;
}

}  // namespace

CPlaybackCommands::CPlaybackCommands(CControlForm& form, QObject* parent)
    : QObject(parent), form_(form) {}

void CPlaybackCommands::Watch(QWidget* widget) {
    widget->installEventFilter(this);
}

bool CPlaybackCommands::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::FocusOut &&
        static_cast<QFocusEvent*>(event)->reason() == Qt::OtherFocusReason) {
        // Another recording marks its row and focuses the list; the keys stay here. The user
        // moves the focus by mouse, tab or window instead, with other reasons.
        QTimer::singleShot(0, watched, [w = QPointer(qobject_cast<QWidget*>(watched))] {
            if (w != nullptr && w->isVisible())
                w->setFocus();
        });
    }
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride)
        return QObject::eventFilter(watched, event);
    const KeyCommand* command = CommandFor(*static_cast<QKeyEvent*>(event));
    if (command == nullptr)
        return false;
    // Claimed ahead of any shortcut of the window.
    if (type == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    command->run(form_);
    return true;
}

void CPlaybackCommands::AddMenuItems(QMenu& menu) {
    PlaybackSession& session = form_.Session();
    QMenu* speed = menu.addMenu(tr("Speed"));
    auto* rates = new QActionGroup(speed);
    for (double rate : PlaybackSession::kRates) {
        QAction* item = speed->addAction(QString::fromStdString(RateLabel(rate)), this,
                                         [&session, rate] { session.SetRate(rate); });
        item->setCheckable(true);
        item->setChecked(rate == session.Rate());
        rates->addAction(item);
    }
    for (const auto& [frames, text, key] : {std::tuple{1, tr("Next frame"), Qt::Key_Period},
                                            std::tuple{-1, tr("Previous frame"), Qt::Key_Comma}}) {
        // After a tab, the menu shows the key in its shortcut column.
        QAction* item = menu.addAction(text + u'\t' + KeyName(key), this,
                                       [&session, n = frames] { session.StepFrames(n); });
        item->setEnabled(session.CanStepFrames());
    }
}

QString CPlaybackCommands::KeysText() {
    QString text;
    for (const KeyCommand& command : kKeys)
        text += KeyName(command.key) + u'\t' + QString::fromLatin1(command.text) + u'\n';
    return text;
}
