#pragma once
// The map window: dialog 196, whose placeholder control 1080 the browser view replaces. Its
// controls follow the window's right and bottom edges, and a one-shot timer starts map
// discovery on the control form half a second after the window is made.

#include <QList>
#include <QTimer>
#include <QWidget>

class CMapDlg : public QWidget {
    Q_OBJECT

public:
    static constexpr int kDialogId = 196;
    static constexpr int kMapControlId = 1080;
    static constexpr int kFrameId = -1;
    static constexpr int kStartDelayMs = 500;

    explicit CMapDlg(QWidget* parent = nullptr);
    ~CMapDlg() override;

    bool StartTimerActive() const { return startTimer_.isActive(); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // Left and top edge, and the distances of the right and bottom edges from the client
    // area's right and bottom edges.
    struct Anchor {
        int id;
        int left;
        int top;
        int right;
        int bottom;
    };

    void OnInitDialog();
    void OnTimer();
    void RecordLayout();
    void ApplyLayout();

    QTimer startTimer_;
    QList<Anchor> layout_;
};
