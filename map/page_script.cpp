#include "map/page_script.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QMetaObject>
#include <QVariantMap>
#include <QWebEnginePage>

#include <utility>

#include "app/message.h"

namespace {
// Runs a batch of calls, each function looked up by name, and reports, rather than throws, what
// went wrong (the last failure), so that the answer tells a missing function from a failing one.
constexpr const char* kCallScript = R"((function (calls) {
  var failure = '';
  calls.forEach(function (call) {
    var f = window[call[0]];
    if (typeof f !== 'function') {
      if (!call[2])
        failure = 'unknown';
      return;
    }
    try {
      f.apply(window, call[1]);
    } catch (e) {
      failure = 'exception';
    }
  });
  return { ok: failure === '', code: failure };
})(%1))";
}  // namespace

CPageScript::CPageScript()
    : flushContext_(std::make_unique<QObject>()), lastFailure_(std::make_shared<QString>()) {}

bool CPageScript::SetDocument(QObject* dispatch) {
    if (dispatch == nullptr) {
        Fail(QStringLiteral("NULL pointer"));
        return false;
    }
    document_ = qobject_cast<QWebEnginePage*>(dispatch);
    if (document_.isNull()) {
        Fail(QStringLiteral("Failed to get HTML document COM object"));
        return false;
    }
    return true;
}

bool CPageScript::GetScript(QWebEnginePage*& script) {
    script = document_.data();
    if (script == nullptr) {
        ShowMessage("Web server cannot connected!");
        return false;
    }
    return true;
}

bool CPageScript::CallFunction(const QString& name, const QStringList& texts) {
    return Queue(name, texts, false);
}

bool CPageScript::CallFunctionIfDefined(const QString& name, const QStringList& texts) {
    return Queue(name, texts, true);
}

// One evaluation per call would freeze the window for a long route (a day's log is 86,400
// points), so calls wait for the end of the caller's work and go together.
bool CPageScript::Queue(const QString& name, const QStringList& texts, bool optional) {
    QWebEnginePage* script = nullptr;
    if (!GetScript(script)) {
        Fail(QStringLiteral("Cannot GetScript"));
        return false;
    }
    pending_.append(QJsonArray{name, QJsonArray::fromStringList(texts), optional});
    if (pending_.size() >= kBatchCalls) {
        Flush();
    } else if (!flushPosted_) {
        flushPosted_ = true;
        QMetaObject::invokeMethod(
            flushContext_.get(),
            [this] {
                flushPosted_ = false;
                Flush();
            },
            Qt::QueuedConnection);
    }
    return true;
}

void CPageScript::Flush() {
    if (pending_.isEmpty())
        return;
    const QJsonArray calls = std::exchange(pending_, QJsonArray());
    if (document_.isNull()) {
        Fail(SystemErrorText(kDisconnected));
        return;
    }
    // Names and texts travel as JSON data, never as script text of their own.
    const QString source =
        QString::fromLatin1(kCallScript)
            .arg(QString::fromUtf8(QJsonDocument(calls).toJson(QJsonDocument::Compact)));
    const std::weak_ptr<QString> failure = lastFailure_;
    document_->runJavaScript(source, [failure](const QVariant& answer) {
        const QVariantMap result = answer.toMap();
        if (result.value(QStringLiteral("ok")).toBool())
            return;
        // No answer at all: the page went away before the calls ran.
        const QString code = result.value(QStringLiteral("code")).toString();
        const uint32_t error = code == QLatin1String("unknown")     ? kUnknownName
                               : code == QLatin1String("exception") ? kException
                                                                    : kDisconnected;
        if (const std::shared_ptr<QString> text = failure.lock())
            *text = FailureText(SystemErrorText(error));
    });
}

QString CPageScript::SystemErrorText(uint32_t code) {
    switch (code) {
        case kUnknownName:
            return QStringLiteral("Unknown name.");
        case kException:
            return QStringLiteral("Exception occurred.");
        case kDisconnected:
            return QStringLiteral("The object invoked has disconnected from its clients.");
        default:
            return QStringLiteral("FormatMessage Netive Error");
    }
}
