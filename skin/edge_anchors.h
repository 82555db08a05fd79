#pragma once
// Controls that keep their left and top edges and follow their window's right and bottom
// edges at the distances they had when recorded: the sizing rule of every page. Controls are
// found by id at each use, so one that was replaced in place (the map view) still follows.

#include <QRect>
#include <QSize>

#include <vector>

class QWidget;

class CEdgeAnchors {
public:
    explicit CEdgeAnchors(QWidget* window) : window_(window) {}

    // Records the place of control id now; the edges in follow keep their distance from the
    // window's matching edge, the others stay where they are.
    void Anchor(int id, Qt::Edges follow = Qt::RightEdge | Qt::BottomEdge);
    // Moves every recorded control for the window's present size.
    void Apply() const;

private:
    struct Item {
        int id;
        QRect at;          // the control's geometry when recorded
        QSize windowSize;  // the window's size then
        Qt::Edges follow;
    };
    QWidget* window_;
    std::vector<Item> items_;
};
