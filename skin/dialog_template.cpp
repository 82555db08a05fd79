#include "skin/dialog_template.h"

#include <QFile>
#include <QFrame>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTreeWidget>

#include "resources/resource_ids.h"

namespace {

const char* const kControlId = "controlId";

QStringList Strings(const QJsonValue& value) {
    QStringList out;
    for (const QJsonValue& v : value.toArray()) out << v.toString();
    return out;
}

QWidget* DefaultControl(const ControlTemplate& c, QWidget* parent) {
    if (c.kind == "button")
        return new QPushButton(c.text, parent);
    if (c.kind == "edit") {
        auto* edit = new QLineEdit(c.text, parent);
        edit->setReadOnly(!c.enabled);
        // A disabled edit only shows its text (the folder), so it keeps a readable look
        // on the skin's black instead of the platform's grey on grey.
        QPalette palette = edit->palette();
        palette.setColor(QPalette::Disabled, QPalette::Base, QColor(28, 31, 36));
        palette.setColor(QPalette::Disabled, QPalette::Text, QColor(226, 229, 233));
        edit->setPalette(palette);
        return edit;
    }
    if (c.kind == "trackbar")
        return new QSlider(Qt::Horizontal, parent);
    if (c.kind == "progress") {
        auto* bar = new QProgressBar(parent);
        bar->setTextVisible(false);
        return bar;
    }
    if (c.kind == "listview")
        return new QTreeWidget(parent);
    if (c.kind == "frame") {
        auto* frame = new QFrame(parent);
        frame->setFrameShape(QFrame::Box);
        return frame;
    }
    return new QLabel(c.text, parent);
}

}  // namespace

QSizeF DialogTemplate::Scale() const {
    return font == QLatin1String("System") ? QSizeF(2.0, 2.0) : QSizeF(1.5, 1.625);
}

QRect DialogTemplate::ToPixels(const QRect& u) const {
    const QSizeF s = Scale();
    const int left = qRound(u.x() * s.width());
    const int top = qRound(u.y() * s.height());
    const int right = qRound((u.x() + u.width()) * s.width());
    const int bottom = qRound((u.y() + u.height()) * s.height());
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

QSize DialogTemplate::PixelSize() const {
    return ToPixels(QRect(QPoint(0, 0), units)).size();
}

const ControlTemplate* DialogTemplate::Control(int controlId) const {
    for (const ControlTemplate& c : controls)
        if (c.id == controlId)
            return &c;
    return nullptr;
}

std::optional<DialogTemplate> LoadDialogTemplate(int id) {
    QFile file(DialogTemplatePath(id));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    if (root.isEmpty())
        return std::nullopt;

    DialogTemplate t;
    t.id = root.value("id").toInt(id);
    t.caption = root.value("caption").toString();
    t.font = root.value("font").toString();
    t.pointSize = root.value("pointSize").toInt();
    const QJsonArray size = root.value("size").toArray();
    t.units = QSize(size.at(0).toInt(), size.at(1).toInt());
    t.styles = Strings(root.value("styles"));
    for (const QJsonValue& v : root.value("controls").toArray()) {
        const QJsonObject o = v.toObject();
        const QJsonArray r = o.value("rect").toArray();
        ControlTemplate c;
        c.id = o.value("id").toInt(-1);
        c.kind = o.value("kind").toString();
        c.text = o.value("text").toString();
        c.units = QRect(r.at(0).toInt(), r.at(1).toInt(), r.at(2).toInt(), r.at(3).toInt());
        c.visible = o.value("visible").toBool(true);
        c.enabled = o.value("enabled").toBool(true);
        c.styles = Strings(o.value("styles"));
        t.controls << c;
    }
    return t;
}

void CreateDialogControls(QWidget* dialog, const DialogTemplate& tmpl,
                          const ControlFactory& factory) {
    for (const ControlTemplate& c : tmpl.controls) {
        QWidget* w = factory ? factory(c, dialog) : nullptr;
        if (w == nullptr)
            w = DefaultControl(c, dialog);
        w->setParent(dialog);
        w->setProperty(kControlId, c.id);
        w->setObjectName(QString::number(c.id));
        w->setGeometry(tmpl.ToPixels(c.units));
        w->setEnabled(c.enabled);
        w->setVisible(c.visible);
    }
}

QWidget* GetDlgItem(const QWidget* dialog, int id) {
    if (dialog == nullptr)
        return nullptr;
    for (QObject* child : dialog->children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (w != nullptr && w->property(kControlId).toInt() == id &&
            w->property(kControlId).isValid())
            return w;
    }
    return nullptr;
}
