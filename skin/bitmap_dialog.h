#pragma once
// Dialog with a background image drawn tiled, centred or stretched behind its controls.

#include <QDialog>
#include <QPixmap>

class CBitmapDialog : public QDialog {
    Q_OBJECT

public:
    enum BackgroundMode { Tile = 0, Centre = 1, Stretch = 2 };

    explicit CBitmapDialog(QWidget* parent = nullptr);

    // Accepts 0, 1 or 2; any other value leaves the mode as it was.
    void SetBackgroundMode(int mode);
    // The bitmap resource with that id (low 16 bits); false, and no background, when there
    // is none.
    bool LoadBackground(int id);
    void SetBackground(const QPixmap& image);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap background_;
    int mode_ = Tile;
};
