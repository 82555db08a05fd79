#pragma once
// Helpers for the tests that run the browser engine.

#include <QDeadlineTimer>
#include <QTest>
#include <QVariant>
#include <QWebEnginePage>
#include <QWidget>

#include <string>
#include <vector>

#include "app/message.h"
#include "map/map_bridge.h"

// Stands in for the control form: owns the map operations and counts what the map window asks.
class FakeControlForm : public QWidget {
    Q_OBJECT

public:
    CMapBridge bridge;
    int startCalls = 0;

    Q_INVOKABLE void StartMap() {
        ++startCalls;
        bridge.StartMap();
    }
    Q_INVOKABLE void ResizeMap() { bridge.ResizeMap(); }
};

// Waits in short steps: a single long processEvents keeps spinning while the browser engine
// posts events, long after the condition came true.
template <typename Predicate>
bool WaitFor(Predicate predicate, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!predicate()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(5);
    }
    return true;
}

// Runs script in the page after every call made before it, and waits for its value.
inline QVariant Eval(QWebEnginePage* page, const QString& script) {
    QVariant value;
    bool done = false;
    page->runJavaScript(script, [&](const QVariant& v) {
        value = v;
        done = true;
    });
    if (!WaitFor([&] { return done; }, 10000))
        return QStringLiteral("<no answer>");
    return value;
}

// Records the messages the program would show.
class MessageRecorder {
public:
    MessageRecorder() {
        previous_ = SetMessageHandler(
            [this](const std::string& text, const std::string&) { texts.push_back(text); });
    }
    ~MessageRecorder() { SetMessageHandler(previous_); }
    std::vector<std::string> texts;

private:
    MessageHandler previous_;
};
