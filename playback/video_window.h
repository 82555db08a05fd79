#pragma once
// The clip's picture on the video page: frames from the media backend painted into a plain
// child widget, scaled to fit with black bars. Unlike the toolkit's video widget it has no
// native window of its own, so it lives safely beside the browser view and can be grabbed.

#include <QImage>
#include <QWidget>

class QVideoSink;

class CVideoWindow : public QWidget {
    Q_OBJECT

public:
    explicit CVideoWindow(QWidget* parent = nullptr);

    QVideoSink* videoSink() const { return sink_; }
    // Forgets the last frame: the window shows black until the next one.
    void Clear();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QVideoSink* sink_;
    QImage frame_;
};
