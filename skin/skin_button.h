#pragma once
// Push button drawn from bitmaps, one per state, shaped by a mask image. It can also act as
// a check box or a radio button; clicks reach the parent as the button's clicked() signal.

#include <QColor>
#include <QImage>
#include <QPushButton>

class CSkinButton : public QPushButton {
    Q_OBJECT

public:
    enum Kind { PushButton = 0, CheckBox = 2, RadioButton = 4 };

    explicit CSkinButton(QWidget* parent = nullptr, Kind kind = PushButton);

    // Bitmap resource ids, 0 meaning none. drawMode: 0 natural size, 1 stretched, 2 tiled.
    void SetBitmaps(int normal, int pressed, int hover, int disabled, int focus, int mask,
                    int drawMode, bool edge, int margin);
    void SetCheck(bool checked);
    bool GetCheck() const { return checked_; }
    Kind ButtonKind() const { return kind_; }
    // A radio button group runs from a button that starts one to the next that does.
    void SetGroupStart(bool start) { groupStart_ = start; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;

private:
    struct StateImage {
        QImage image;
        // The image with the mask's white made transparent, so the parent shows through.
        QImage masked;
    };

    StateImage Load(int id) const;
    void DrawImage(QPainter& painter, const StateImage& image) const;
    void FillFace(QPainter& painter) const;
    void ClearOthersInGroup();

    bool checked_ = false;
    Kind kind_ = PushButton;
    bool hovering_ = false;
    bool held_ = false;
    StateImage normal_, pressed_, disabled_, hover_, focus_;
    QImage mask_;
    int margin_ = 0;
    QColor textColor_;
    bool edge_ = false;
    int drawMode_ = 1;
    bool groupStart_ = false;
};
