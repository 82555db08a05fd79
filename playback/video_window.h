#pragma once
// The clip's picture on the video page: frames from the media backend painted into a plain
// child widget, scaled to fit with black bars; a second camera's clip playing with it shows in
// a corner, and a click there swaps the two. Unlike the toolkit's video widget it has no
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

// Where an inset picture of size inset goes on a picture that fills rect: the top right corner,
// a quarter of the width, its shape kept.
QRect InsetRect(const QRect& picture, const QSize& inset);
// Paints inset at InsetRect of picture, in a thin frame.
void DrawInset(QPainter& painter, const QRect& picture, const QImage& inset);

class CVideoWindow : public QWidget {
    Q_OBJECT

public:
    explicit CVideoWindow(QWidget* parent = nullptr);

    QVideoSink* videoSink() const { return sink_; }
    // The second camera's frames; none, and the picture has no inset.
    QVideoSink* insetSink() const { return insetSink_; }
    // Forgets the last frames: the window shows black until the next one.
    void Clear();
    // While target is set, the frames this window's sinks get are shown there instead (the
    // full-screen picture), beginning with the ones shown here, and this window converts none;
    // null brings them back here, with target's last frames. The swap goes along.
    void ShowFramesIn(CVideoWindow* target);
    // The inset's clip is the big picture, where the picture shows now.
    bool Swapped() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    // The newest frame, converted when it is first painted, so that frames that arrive
    // faster than the window paints are never converted.
    struct Picture {
        QVideoFrame frame;
        QImage image;
        void Take(const QVideoFrame& f) { frame = f, image = QImage(); }
        const QImage& Image();
    };

    CVideoWindow* Shown() { return target_ != nullptr ? target_.data() : this; }
    // A click on the inset swaps the pictures; true when it was there.
    bool SwapAt(const QPoint& pos);

    QVideoSink* sink_;
    QVideoSink* insetSink_;
    QPointer<CVideoWindow> target_;
    Picture main_;
    Picture inset_;
    bool swapped_ = false;
    QRect insetRect_;  // where the inset was painted last; empty for none
};
