#include "playback/video_window.h"

#include <QMouseEvent>
#include <QPainter>
#include <QVideoSink>

#include <algorithm>
#include <array>
#include <optional>

namespace {

// Where one component of a YUV layout lies: byte `offset` + column * `step` of a row of
// `plane`. Every layout here has one chroma sample per two pixels of a row; chroma rows are
// the pixel's shifted right by `chromaShiftY`.
struct Component {
    int plane;
    int offset;
    int step;
};

struct YuvLayout {
    Component y, u, v;
    int chromaShiftY;
};

std::optional<YuvLayout> LayoutOf(QVideoFrameFormat::PixelFormat format) {
    switch (format) {
        case QVideoFrameFormat::Format_YUV420P:
            return YuvLayout{{0, 0, 1}, {1, 0, 1}, {2, 0, 1}, 1};
        case QVideoFrameFormat::Format_YV12:
            return YuvLayout{{0, 0, 1}, {2, 0, 1}, {1, 0, 1}, 1};
        case QVideoFrameFormat::Format_NV12:
            return YuvLayout{{0, 0, 1}, {1, 0, 2}, {1, 1, 2}, 1};
        case QVideoFrameFormat::Format_NV21:
            return YuvLayout{{0, 0, 1}, {1, 1, 2}, {1, 0, 2}, 1};
        case QVideoFrameFormat::Format_YUYV:
            return YuvLayout{{0, 0, 2}, {0, 1, 4}, {0, 3, 4}, 0};
        case QVideoFrameFormat::Format_UYVY:
            return YuvLayout{{0, 1, 2}, {0, 0, 4}, {0, 2, 4}, 0};
        default:
            return std::nullopt;
    }
}

// Lookup tables of the colour matrix in 16.16 fixed point: R = Y + V term, G = Y + U term +
// V term, B = Y + U term.
struct YuvTables {
    std::array<int, 256> y, rv, gu, gv, bu;
};

YuvTables TablesFor(const QVideoFrameFormat& format) {
    double kr = 0.299;
    double kb = 0.114;
    if (format.colorSpace() == QVideoFrameFormat::ColorSpace_BT709) {
        kr = 0.2126;
        kb = 0.0722;
    } else if (format.colorSpace() == QVideoFrameFormat::ColorSpace_BT2020) {
        kr = 0.2627;
        kb = 0.0593;
    }
    const double kg = 1.0 - kr - kb;
    // Unknown range is taken as video range, as decoders mostly deliver it.
    const bool full = format.colorRange() == QVideoFrameFormat::ColorRange_Full ||
                      format.colorSpace() == QVideoFrameFormat::ColorSpace_AdobeRgb;
    const double yScale = full ? 1.0 : 255.0 / 219.0;
    const double yBase = full ? 0.0 : 16.0;
    const double cScale = full ? 1.0 : 255.0 / 224.0;
    constexpr double kOne = 65536.0;
    YuvTables t{};
    for (int i = 0; i < 256; ++i) {
        const double c = (i - 128) * cScale;
        // The rounding half of the final shift rides on the luma term.
        t.y[i] = static_cast<int>((i - yBase) * yScale * kOne + kOne / 2);
        t.rv[i] = static_cast<int>(2.0 * (1.0 - kr) * c * kOne);
        t.gu[i] = static_cast<int>(-2.0 * kb * (1.0 - kb) / kg * c * kOne);
        t.gv[i] = static_cast<int>(-2.0 * kr * (1.0 - kr) / kg * c * kOne);
        t.bu[i] = static_cast<int>(2.0 * (1.0 - kb) * c * kOne);
    }
    return t;
}

// Clamping by table, without branches; the sums of the tables stay inside -512..1023.
constexpr int kClipOffset = 512;
constexpr std::array<uchar, 1536> kClip = [] {
    std::array<uchar, 1536> clip{};
    for (int i = 0; i < int(clip.size()); ++i) clip[i] = uchar(std::clamp(i - kClipOffset, 0, 255));
    return clip;
}();

QRgb Pixel(int y, int r, int g, int b) {
    return 0xff000000u | uint(kClip[((y + r) >> 16) + kClipOffset]) << 16 |
           uint(kClip[((y + g) >> 16) + kClipOffset]) << 8 | kClip[((y + b) >> 16) + kClipOffset];
}

// One row, two pixels per chroma sample. The steps are compile-time constants so that the
// inner loop, the costliest of playback, only adds to pointers.
template <int YStep, int CStep>
void ConvertRow(const uchar* ys, const uchar* us, const uchar* vs, QRgb* out, int width,
                const YuvTables& t) {
    for (int x = 0; x < width; x += 2, ys += 2 * YStep, us += CStep, vs += CStep) {
        const int r = t.rv[*vs];
        const int g = t.gu[*us] + t.gv[*vs];
        const int b = t.bu[*us];
        out[x] = Pixel(t.y[ys[0]], r, g, b);
        if (x + 1 < width)
            out[x + 1] = Pixel(t.y[ys[YStep]], r, g, b);
    }
}

// True when every byte the layout reads of `component` lies inside its mapped plane.
bool Covers(const QVideoFrame& frame, const Component& c, int columns, int rows) {
    if (c.plane >= frame.planeCount())
        return false;
    const qint64 last =
        qint64(frame.bytesPerLine(c.plane)) * (rows - 1) + qint64(columns - 1) * c.step + c.offset;
    return last < frame.mappedBytes(c.plane);
}

QImage ConvertYuv(const QVideoFrame& frame, const YuvLayout& layout) {
    const int width = frame.width();
    const int height = frame.height();
    const int chromaColumns = (width + 1) / 2;
    const int chromaRows = ((height - 1) >> layout.chromaShiftY) + 1;
    if (!Covers(frame, layout.y, width, height) ||
        !Covers(frame, layout.u, chromaColumns, chromaRows) ||
        !Covers(frame, layout.v, chromaColumns, chromaRows))
        return {};
    const auto convertRow = layout.y.step == 2   ? ConvertRow<2, 4>
                            : layout.u.step == 2 ? ConvertRow<1, 2>
                                                 : ConvertRow<1, 1>;
    const YuvTables t = TablesFor(frame.surfaceFormat());
    QImage image(width, height, QImage::Format_RGB32);
    const auto rowOf = [&](const Component& c, int row) {
        return frame.bits(c.plane) + qsizetype(row) * frame.bytesPerLine(c.plane) + c.offset;
    };
    for (int row = 0; row < height; ++row) {
        const int chromaRow = row >> layout.chromaShiftY;
        convertRow(rowOf(layout.y, row), rowOf(layout.u, chromaRow), rowOf(layout.v, chromaRow),
                   reinterpret_cast<QRgb*>(image.scanLine(row)), width, t);
    }
    return image;
}

}  // namespace

QImage VideoFrameImage(const QVideoFrame& frame) {
    QVideoFrame mapped = frame;
    const std::optional<YuvLayout> layout = LayoutOf(frame.pixelFormat());
    const QImage::Format rgb = QVideoFrameFormat::imageFormatFromPixelFormat(frame.pixelFormat());
    const bool rgb32 =
        rgb != QImage::Format_Invalid && QImage::toPixelFormat(rgb).bitsPerPixel() == 32;
    if ((!layout && !rgb32) || !mapped.map(QVideoFrame::ReadOnly))
        return frame.toImage();
    QImage image;
    if (layout) {
        image = ConvertYuv(mapped, *layout);
    } else if (Covers(mapped, {0, 0, 4}, mapped.width(), mapped.height())) {
        // Converting copies the pixels out of the mapping before it ends.
        image = QImage(mapped.bits(0), mapped.width(), mapped.height(), mapped.bytesPerLine(0), rgb)
                    .convertToFormat(QImage::Format_RGB32);
    }
    mapped.unmap();
    return image.isNull() ? frame.toImage() : image;
}

QRect InsetRect(const QRect& picture, const QSize& inset) {
    const QSize size = inset.scaled(picture.width() / 4, picture.height(), Qt::KeepAspectRatio);
    const int margin = std::max(4, picture.width() / 64);
    return QRect(QPoint(picture.right() + 1 - margin - size.width(), picture.top() + margin), size);
}

void DrawInset(QPainter& painter, const QRect& picture, const QImage& inset) {
    const QRect at = InsetRect(picture, inset.size());
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(at, inset);
    painter.setPen(QPen(QColor(226, 229, 233), std::max(1, picture.width() / 400)));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(at);
    painter.restore();
}

const QImage& CVideoWindow::Picture::Image() {
    if (image.isNull() && frame.isValid())
        image = VideoFrameImage(frame);
    return image;
}

CVideoWindow::CVideoWindow(QWidget* parent)
    : QWidget(parent), sink_(new QVideoSink(this)), insetSink_(new QVideoSink(this)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(sink_, &QVideoSink::videoFrameChanged, this, [this](const QVideoFrame& frame) {
        Shown()->main_.Take(frame);
        Shown()->update();
    });
    connect(insetSink_, &QVideoSink::videoFrameChanged, this, [this](const QVideoFrame& frame) {
        Shown()->inset_.Take(frame);
        Shown()->update();
    });
}

void CVideoWindow::Clear() {
    main_.Take({});
    inset_.Take({});
    update();
    if (target_ != nullptr)
        target_->Clear();
}

void CVideoWindow::ShowFramesIn(CVideoWindow* target) {
    if (target == this)
        target = nullptr;
    CVideoWindow* from = Shown();
    CVideoWindow* to = target != nullptr ? target : this;
    if (from != to) {
        to->main_.Take(from->main_.frame);
        to->inset_.Take(from->inset_.frame);
        to->swapped_ = from->swapped_;
        to->update();
    }
    target_ = target;
}

bool CVideoWindow::Swapped() const {
    return target_ != nullptr ? target_->swapped_ : swapped_;
}

bool CVideoWindow::SwapAt(const QPoint& pos) {
    if (!insetRect_.contains(pos))
        return false;
    swapped_ = !swapped_;
    update();
    return true;
}

void CVideoWindow::mousePressEvent(QMouseEvent* event) {
    // Elsewhere the click is the page's.
    event->setAccepted(event->button() == Qt::LeftButton && SwapAt(event->position().toPoint()));
}

void CVideoWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    // A second quick click on the inset swaps back rather than going full screen.
    event->setAccepted(event->button() == Qt::LeftButton && SwapAt(event->position().toPoint()));
}

void CVideoWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const bool hasInset = !inset_.Image().isNull();
    const QImage& big = swapped_ && hasInset ? inset_.Image() : main_.Image();
    const QImage& small = swapped_ ? main_.Image() : inset_.Image();
    insetRect_ = QRect();
    if (big.isNull()) {
        p.fillRect(rect(), Qt::black);
        return;
    }
    QSize fitted = big.size().scaled(size(), Qt::KeepAspectRatio);
    const QRect target(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2),
                       fitted);
    // Only the bars: the picture covers the rest.
    for (const QRect& bar : QRegion(rect()).subtracted(target)) p.fillRect(bar, Qt::black);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(target, big);
    if (hasInset && !small.isNull()) {
        DrawInset(p, target, small);
        insetRect_ = InsetRect(target, small.size());
    }
}
