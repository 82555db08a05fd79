#include "map/page_script.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QVariantMap>
#include <QWebEnginePage>

#include "app/message.h"

namespace {
// Looks the function up by name and reports, rather than throws, what went wrong, so that the
// answer tells a missing function from a failing one.
constexpr const char* kCallScript = R"((function (call) {
  var f = window[call[0]];
  if (typeof f !== 'function') return { ok: false, code: 'unknown' };
  try {
    f.apply(window, call[1]);
    return { ok: true };
  } catch (e) {
    return { ok: false, code: 'exception' };
  }
})(%1))";
}  // namespace

CPageScript::CPageScript() : lastFailure_(std::make_shared<QString>()) {}

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
    QWebEnginePage* script = nullptr;
    if (!GetScript(script)) {
        Fail(QStringLiteral("Cannot GetScript"));
        return false;
    }
    // Name and texts travel as JSON data, never as script text of their own.
    const QJsonArray call{name, QJsonArray::fromStringList(texts)};
    const QString source =
        QString::fromLatin1(kCallScript)
            .arg(QString::fromUtf8(QJsonDocument(call).toJson(QJsonDocument::Compact)));
    const std::weak_ptr<QString> failure = lastFailure_;
    script->runJavaScript(source, [failure](const QVariant& answer) {
        const QVariantMap result = answer.toMap();
        if (result.value(QStringLiteral("ok")).toBool())
            return;
        // No answer at all: the page went away before the call ran.
        const QString code = result.value(QStringLiteral("code")).toString();
        const uint32_t error = code == QLatin1String("unknown")     ? kUnknownName
                               : code == QLatin1String("exception") ? kException
                                                                    : kDisconnected;
        if (const std::shared_ptr<QString> text = failure.lock())
            *text = FailureText(SystemErrorText(error));
    });
    return true;
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
