#pragma once
// The slider of the control form: the platform slider's behaviour with a look of its own,
// and a flag that tells playback the user holds the thumb.

#include <QColor>
#include <QSlider>

class CProSliderCtrl : public QSlider {
    Q_OBJECT

public:
    explicit CProSliderCtrl(QWidget* parent = nullptr);

    void SetDrawRange(qint16 min, qint16 max);
    int GetDrawPos() const { return drawPos_; }
    // Stores pos and repaints; returns the previous drawn position.
    int SetDrawPos(int pos);

    // 1 from a press on the thumb to the next release: playback then leaves the slider's
    // own position alone and only moves the drawn position.
    bool ThumbHeld() const { return thumbHeld_; }

    int DrawRangeMin() const { return rangeMin_; }
    int DrawRangeMax() const { return rangeMax_; }
    QColor CurrentThumbColor() const { return thumbColor_; }

    // The shaded block of the thumb: rings of colour c growing lighter by 10 per ring towards
    // the middle, across the slider's thickness (the first ring all round when bothAxes).
    static void DrawRings(QPainter& painter, QRect r, QColor c, bool bothAxes,
                          Qt::Orientation orientation);
    // The background and the channel fill: an outer ring of c, a second of c lightened by
    // firstStep, then DrawRings.
    static void DrawGradientRoundRect(QPainter& painter, QRect r, QColor c, bool bothAxes,
                                      bool horizontalOnly, int firstStep,
                                      Qt::Orientation orientation);
    // The channel as the control lays it out, before the sunken edge is drawn round it.
    QRect ChannelRect() const;
    // The filled part of a channel (the channel inside its edge): from pixel 9 to
    // 9 + length * pos / max inclusive along the slider, just pixel 9 when max is 0.
    static QRect ChannelFill(const QRect& channel, Qt::Orientation orientation, int pos, int max);

signals:
    // The mouse capture ends: every left-button release, on the thumb or the channel.
    void ReleasedCapture();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // The thumb rectangle widened by 2 px across and narrowed by 2 px along its height.
    bool OverThumb(const QPoint& pos) const;
    QRect ThumbRect() const;

    bool thumbHeld_ = false;
    QColor background_{51, 51, 51};
    QColor fill_{233, 103, 41};
    int rangeMin_ = 0;
    int rangeMax_ = 0;
    int drawPos_ = 0;
    QColor hoverThumb_{255, 255, 255};
    QColor normalThumb_{0, 204, 0};
    QColor pressedThumb_{153, 102, 204};
    QColor thumbColor_{0, 204, 0};
};
