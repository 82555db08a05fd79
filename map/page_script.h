#pragma once
// Calls the script functions of the map page by name, every argument a text.

#include <QJsonArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

class QWebEnginePage;

class CPageScript {
public:
    // Error codes a script call can fail with (the automation codes of the same meaning).
    static constexpr uint32_t kUnknownName = 0x80020006;
    static constexpr uint32_t kException = 0x80020009;
    static constexpr uint32_t kDisconnected = 0x80010108;

    // Calls go to the page in batches of at most this many, one script evaluation each.
    static constexpr int kBatchCalls = 2000;

    CPageScript();

    // Holds the page whose document completed. A null object leaves the held page as it is;
    // an object that is not a page leaves none held.
    bool SetDocument(QObject* dispatch);
    // The page to run script in; shows "Web server cannot connected!" when none is held.
    bool GetScript(QWebEnginePage*& script);
    // Calls window[name](texts...) with each text as a JSON-encoded string. Consecutive calls
    // are sent together, in the order they were made, once control returns to the event loop
    // (or when a batch is full), so true means the call went to a held page. Whether the
    // function exists is known only when the page answers: a missing function, or one that
    // throws, then records its failure text. The function's return value is not used by any
    // caller and is not brought back.
    bool CallFunction(const QString& name, const QStringList& texts);
    // The same for a function that only some pages have: a page without it is left alone.
    bool CallFunctionIfDefined(const QString& name, const QStringList& texts);
    bool HasDocument() const { return !document_.isNull(); }

    // "JSCall Error:\n" + reason of the last failure, "" before any.
    QString LastFailure() const { return *lastFailure_; }

    static QString SystemErrorText(uint32_t code);

private:
    static QString FailureText(const QString& reason) {
        return QStringLiteral("JSCall Error:\n") + reason;
    }
    void Fail(const QString& reason) { *lastFailure_ = FailureText(reason); }
    bool Queue(const QString& name, const QStringList& texts, bool optional);
    void Flush();

    QPointer<QWebEnginePage> document_;
    QJsonArray pending_;  // calls not yet sent: [name, [texts...], optional]
    bool flushPosted_ = false;
    // Receives the posted flush; going with this object, it takes a posted flush along.
    std::unique_ptr<QObject> flushContext_;
    // Shared with pending calls, which may answer after this object is gone.
    std::shared_ptr<QString> lastFailure_;
};
