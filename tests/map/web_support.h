#pragma once
// Helpers for the tests that run the browser engine.

#include <QDeadlineTimer>
#include <QTest>
#include <QVariant>
#include <QWebEnginePage>

#include <string>
#include <vector>

#include "app/message.h"

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

// Runs script in the page after every script call made before it, and waits for its value.
// Script calls go to the page from the event loop, so this script is posted there too.
inline QVariant Eval(QWebEnginePage* page, const QString& script) {
    QVariant value;
    bool done = false;
    QMetaObject::invokeMethod(
        page,
        [&] {
            page->runJavaScript(script, [&](const QVariant& v) {
                value = v;
                done = true;
            });
        },
        Qt::QueuedConnection);
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
