#pragma once
// A row of labelled segments, one of them chosen, in the slider's look: a dark channel,
// the chosen segment in the slider's orange fill. A click chooses a segment.

#include <QStringList>
#include <QWidget>

class CSegmentBar : public QWidget {
    Q_OBJECT

public:
    explicit CSegmentBar(QWidget* parent = nullptr);

    void SetLabels(const QStringList& labels);
    // -1: none is chosen.
    void SetCurrent(int index);
    int Current() const { return current_; }
    // Segment index's share of the bar; the last one takes the pixels left over.
    QRect SegmentRect(int index) const;

signals:
    // The user clicked segment index.
    void Chosen(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    int SegmentAt(const QPoint& pos) const;

    QStringList labels_;
    int current_ = -1;
    int hover_ = -1;
};
