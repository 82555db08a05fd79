#include "resources/resource_ids.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

QString BitmapPath(int id) {
    return QStringLiteral(":/bitmaps/%1.png").arg(id);
}

QString DialogTemplatePath(int id) {
    return QStringLiteral(":/dialogs/%1.json").arg(id);
}

QString LoadResourceString(int id) {
    QFile file(QStringLiteral(":/strings/strings.json"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object().value(QString::number(id)).toString();
}
