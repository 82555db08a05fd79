#pragma once
// The clip's picture on the video page: frames from the media backend painted into a plain
// child widget, scaled to fit with black bars. Unlike the toolkit's video widget it has no
// native window of its own, so it lives safely beside the browser view and can be grabbed.

#include <QImage>
#include <QPointer>
#include <QVideoFrame>
#include <QWidget>

class QVideoSink;

// The frame as an opaque RGB image. The YUV layouts the media backend delivers and the 32-bit
// RGB ones are converted here on the CPU, since QVideoFrame::toImage() renders every frame
// through an offscreen OpenGL pass; other layouts still go through it.
QImage VideoFrameImage(const QVideoFrame& frame);

class CVideoWindow : public QWidget {
    Q_OBJECT

public:
    explicit CVideoWindow(QWidget* parent = nullptr);

    QVideoSink* videoSink() const { return sink_; }
    // Forgets the last frame: the window shows black until the next one.
    void Clear();
    // While target is set, the frames this window's sink gets are shown there instead (the
    // full-screen picture), beginning with the one shown here, and this window converts none;
    // null brings them back here, with target's last frame.
    void ShowFramesIn(CVideoWindow* target);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void TakeFrame(const QVideoFrame& frame);

    QVideoSink* sink_;
    QPointer<CVideoWindow> target_;
    // The newest frame, converted when it is first painted, so that frames that arrive
    // faster than the window paints are never converted.
    QVideoFrame frame_;
    QImage image_;
};
