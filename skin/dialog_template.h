#pragma once
// Dialog templates are data (resources/dialogs/<id>.json); this turns one into child widgets
// that carry their control ids, so a window finds its controls by id.

#include <QList>
#include <QRect>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QWidget;

struct ControlTemplate {
    int id = -1;   // -1: a control without id
    QString kind;  // static, frame, icon, button, edit, listview, trackbar, progress
    QString text;
    QRect units;  // x, y, width, height in dialog units
    bool visible = true;
    bool enabled = true;
    QStringList styles;
};

struct DialogTemplate {
    int id = 0;
    QString caption;
    QString font;  // "System" or "MS Sans Serif"
    int pointSize = 0;
    QSize units;
    QStringList styles;
    QList<ControlTemplate> controls;

    // Pixels per dialog unit: 2 x 2 for "System", 1.5 x 1.625 for "MS Sans Serif" 8 pt.
    QSizeF Scale() const;
    QRect ToPixels(const QRect& units) const;
    QSize PixelSize() const;
    const ControlTemplate* Control(int controlId) const;
};

std::optional<DialogTemplate> LoadDialogTemplate(int id);

// Makes the widget for a control; returns nullptr to take the default widget of its kind.
using ControlFactory = std::function<QWidget*(const ControlTemplate&, QWidget* parent)>;

// Creates every control of the template as a child of dialog, in template order, placed in
// pixels; each child's "controlId" property (and object name) is its id.
void CreateDialogControls(QWidget* dialog, const DialogTemplate& tmpl,
                          const ControlFactory& factory = {});

// The direct child of dialog with that control id, or nullptr.
QWidget* GetDlgItem(const QWidget* dialog, int id);
