// Draws every bitmap of the skin at its resource size and writes it as <id>.png.
// Usage: skin-images [output folder]   (default: resources/bitmaps of the source tree)

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>

#include "instruments/instrument_paint.h"

namespace {

constexpr QPointF kCentre(105, 105);

QFont SansFont(int pixels, bool bold) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(static_cast<int>(pixels));
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

QImage NewImage(int w, int h, const QColor& fill = Qt::black) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(fill);
    return image;
}

// Unit vector of a dial angle: degrees from straight down, clockwise on screen.
QPointF DialDirection(double degrees) {
    const double t = degrees * std::numbers::pi / 180.0;
    return {-std::sin(t), std::cos(t)};
}

void DrawCentredText(QPainter& p, const QPointF& centre, const QString& text) {
    const QRectF box(centre.x() - 40, centre.y() - 20, 80, 40);
    p.drawText(box, Qt::AlignCenter, text);
}

// Brushed-metal bezel and a dark face, shared by the dial and the rose.
void DrawBezel(QPainter& p) {
    QLinearGradient metal(0, 0, 210, 210);
    metal.setColorAt(0.0, QColor(168, 174, 182));
    metal.setColorAt(0.45, QColor(92, 97, 104));
    metal.setColorAt(1.0, QColor(34, 37, 41));
    p.setPen(Qt::NoPen);
    p.setBrush(metal);
    p.drawEllipse(kCentre, 104, 104);
    QLinearGradient inner(210, 210, 0, 0);
    inner.setColorAt(0.0, QColor(150, 155, 162));
    inner.setColorAt(1.0, QColor(30, 32, 36));
    p.setBrush(inner);
    p.drawEllipse(kCentre, 100, 100);
    QRadialGradient face(kCentre.x(), kCentre.y() - 20, 110);
    face.setColorAt(0.0, QColor(44, 49, 57));
    face.setColorAt(0.7, QColor(22, 25, 30));
    face.setColorAt(1.0, QColor(9, 10, 12));
    p.setBrush(face);
    p.drawEllipse(kCentre, 97, 97);
}

void Tick(QPainter& p, double degrees, double outer, double inner, const QPen& pen) {
    const QPointF d = DialDirection(degrees);
    p.setPen(pen);
    p.drawLine(kCentre + d * outer, kCentre + d * inner);
}

QImage Speedometer() {
    QImage image = NewImage(210, 210);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    DrawBezel(p);

    // km/h 0..240: one degree of sweep per km/h, starting 60 degrees from straight down.
    const auto kmhAngle = [](double kmh) { return 60.0 + kmh; };
    // Red zone from 200 km/h to the end of the scale.
    QPainterPath red;
    const QRectF outerBox(kCentre.x() - 94, kCentre.y() - 94, 188, 188);
    const QRectF innerBox(kCentre.x() - 87, kCentre.y() - 87, 174, 174);
    // Qt arcs run counter-clockwise from 3 o'clock; the dial runs clockwise from 6 o'clock.
    const auto qtAngle = [](double dial) { return -90.0 - dial; };
    red.arcMoveTo(outerBox, qtAngle(kmhAngle(200)));
    red.arcTo(outerBox, qtAngle(kmhAngle(200)), -40);
    red.arcTo(innerBox, qtAngle(kmhAngle(240)), 40);
    red.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(196, 38, 30));
    p.drawPath(red);

    for (int kmh = 0; kmh <= 240; kmh += 5) {
        const bool major = kmh % 20 == 0;
        const bool mid = kmh % 10 == 0;
        const QColor colour = kmh >= 200 ? QColor(255, 214, 208) : QColor(236, 239, 242);
        if (major)
            Tick(p, kmhAngle(kmh), 94, 82, QPen(colour, 2.4, Qt::SolidLine, Qt::FlatCap));
        else if (mid)
            Tick(p, kmhAngle(kmh), 94, 86, QPen(colour, 1.5, Qt::SolidLine, Qt::FlatCap));
        else
            Tick(p, kmhAngle(kmh), 94, 89, QPen(QColor(170, 176, 184), 1.0));
    }
    p.setFont(SansFont(10, true));
    p.setPen(QColor(242, 244, 246));
    for (int kmh = 0; kmh <= 240; kmh += 20)
        DrawCentredText(p, kCentre + DialDirection(kmhAngle(kmh)) * 73, QString::number(kmh));

    // mph 0..140 on the same sweep, at the program's own conversion factor so that the
    // needle and the readout agree.
    const auto mphAngle = [&](double mph) { return kmhAngle(mph / 0.63); };
    const QColor amber(244, 166, 52);
    const QRectF mphBox(kCentre.x() - 57, kCentre.y() - 57, 114, 114);
    p.setPen(QPen(amber, 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawArc(mphBox, static_cast<int>(qtAngle(mphAngle(0)) * 16),
              static_cast<int>(-(mphAngle(140) - mphAngle(0)) * 16));
    for (int mph = 0; mph <= 140; mph += 10)
        Tick(p, mphAngle(mph), 57, mph % 20 == 0 ? 51 : 54, QPen(amber, mph % 20 == 0 ? 1.8 : 1.1));
    p.setFont(SansFont(8, true));
    p.setPen(amber);
    for (int mph = 0; mph <= 140; mph += 20)
        DrawCentredText(p, kCentre + DialDirection(mphAngle(mph)) * 43, QString::number(mph));

    p.setFont(SansFont(9, true));
    p.setPen(QColor(200, 205, 212));
    DrawCentredText(p, QPointF(105, 84), QStringLiteral("km/h"));
    p.setFont(SansFont(8, true));
    p.setPen(amber);
    DrawCentredText(p, QPointF(105, 128), QStringLiteral("mph"));

    // Red hub.
    QRadialGradient hub(kCentre.x() - 3, kCentre.y() - 3, 12);
    hub.setColorAt(0.0, QColor(255, 130, 112));
    hub.setColorAt(0.5, QColor(214, 32, 20));
    hub.setColorAt(1.0, QColor(110, 8, 4));
    p.setPen(QPen(QColor(40, 10, 8), 1));
    p.setBrush(hub);
    p.drawEllipse(kCentre, 10, 10);

    p.setRenderHint(QPainter::Antialiasing, false);
    // The readout window at the top of the text box (82,152)-(132,182): the figures fill
    // the top two thirds of the box, so the window is that high.
    p.setPen(QColor(96, 102, 110));
    p.setBrush(QColor(5, 6, 7));
    p.drawRect(81, 149, 51, 20);
    p.setPen(QColor(150, 156, 164));
    p.drawLine(82, 169, 132, 169);
    p.drawLine(132, 149, 132, 169);
    p.setRenderHint(QPainter::Antialiasing);
    p.setFont(SansFont(8, false));
    p.setPen(QColor(168, 174, 182));
    p.drawText(QRectF(60, 171, 94, 12), Qt::AlignCenter, QStringLiteral("kmph / mph"));
    return image;
}

QImage CompassRose(int k) {
    QImage image = NewImage(210, 210);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    DrawBezel(p);

    // The rose turns so that heading k x 15 degrees comes to the top.
    p.save();
    p.translate(kCentre);
    p.rotate(-15.0 * k);
    for (int deg = 0; deg < 360; deg += 5) {
        const bool major = deg % 30 == 0;
        const double len = major ? 11 : (deg % 10 == 0 ? 7 : 4);
        const QColor colour = major ? QColor(236, 239, 242) : QColor(150, 156, 164);
        p.save();
        p.rotate(deg);
        p.setPen(QPen(colour, major ? 2.2 : 1.1, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QPointF(0, -94), QPointF(0, -94 + len));
        p.restore();
    }
    struct Letter {
        int deg;
        const char* text;
        bool cardinal;
    };
    const Letter letters[] = {{0, "N", true},     {90, "E", true},   {180, "S", true},
                              {270, "W", true},   {45, "NE", false}, {135, "SE", false},
                              {225, "SW", false}, {315, "NW", false}};
    for (const Letter& l : letters) {
        p.save();
        p.rotate(l.deg);
        p.setFont(SansFont(l.cardinal ? 19 : 10, true));
        p.setPen(l.deg == 0 ? QColor(255, 72, 56)
                            : (l.cardinal ? QColor(240, 242, 245) : QColor(160, 166, 174)));
        const double r = l.cardinal ? 70 : 72;
        p.drawText(QRectF(-30, -r - 12, 60, 24), Qt::AlignCenter, QString::fromLatin1(l.text));
        p.restore();
    }
    // Needle: red half to N, blue half to S, each shaded on one side.
    const auto half = [&](double sign, const QColor& light, const QColor& dark) {
        const QPointF tip(0, -54 * sign);
        QPolygonF left{{0, 0}, tip, {-8, 0}};
        QPolygonF right{{0, 0}, tip, {8, 0}};
        p.setPen(Qt::NoPen);
        p.setBrush(light);
        p.drawPolygon(left);
        p.setBrush(dark);
        p.drawPolygon(right);
    };
    half(1, QColor(255, 84, 66), QColor(176, 26, 16));
    half(-1, QColor(92, 148, 255), QColor(26, 70, 190));
    p.restore();

    QRadialGradient cap(kCentre.x() - 2, kCentre.y() - 2, 8);
    cap.setColorAt(0.0, QColor(230, 232, 235));
    cap.setColorAt(1.0, QColor(88, 92, 98));
    p.setPen(QPen(QColor(30, 32, 36), 1));
    p.setBrush(cap);
    p.drawEllipse(kCentre, 6, 6);

    // Fixed lubber mark: the vehicle's heading is always at the top.
    p.setPen(QPen(QColor(20, 20, 20), 1));
    p.setBrush(QColor(255, 176, 48));
    p.drawPolygon(QPolygonF{{105, 13}, {99, 3}, {111, 3}});
    return image;
}

// Dark panel with the plot area of both charts: x 35..395, y 15..115, framed in grey.
QImage ChartPanel() {
    QImage image = NewImage(470, 130);
    QPainter p(&image);
    QLinearGradient panel(0, 0, 0, 130);
    panel.setColorAt(0.0, QColor(30, 34, 40));
    panel.setColorAt(1.0, QColor(13, 15, 18));
    p.fillRect(image.rect(), panel);
    p.fillRect(QRect(36, 16, 359, 99), QColor(8, 10, 12));
    p.setPen(QColor(128, 128, 128));
    p.drawRect(35, 15, 360, 100);
    return image;
}

void DottedLine(QPainter& p, int x1, int y1, int x2, int y2, const QColor& c, int on, int off) {
    QPen pen(c, 1);
    pen.setDashPattern({static_cast<qreal>(on), static_cast<qreal>(off)});
    pen.setCapStyle(Qt::FlatCap);
    p.setPen(pen);
    p.drawLine(x1, y1, x2, y2);
}

QImage GSensorPanel() {
    QImage image = ChartPanel();
    QPainter p(&image);
    for (int x = 95; x < 395; x += 60) DottedLine(p, x, 16, x, 114, QColor(38, 44, 52), 1, 3);
    DottedLine(p, 36, 40, 394, 40, QColor(44, 50, 58), 1, 3);
    DottedLine(p, 36, 90, 394, 90, QColor(44, 50, 58), 1, 3);
    DottedLine(p, 36, 65, 394, 65, QColor(84, 92, 102), 3, 2);

    // Light tags at the scale labels, their unit at the right; the chart prints the figures.
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setFont(SansFont(10, true));
    p.setPen(QColor(20, 22, 26));
    for (const ScaleTag& tag : kGScaleTags) {
        p.fillRect(QRect(0, tag.top, kGScaleTagWidth, kGScaleTagHeight), QColor(184, 190, 198));
        p.drawText(QRect(kGScaleTagWidth - 10, tag.top, 9, kGScaleTagHeight), Qt::AlignCenter,
                   QStringLiteral("G"));
    }
    return image;
}

QImage SatellitePanel() {
    QImage image = ChartPanel();
    QPainter p(&image);
    for (int y = 35; y <= 95; y += 20) DottedLine(p, 36, y, 394, y, QColor(178, 36, 30), 4, 3);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setFont(SansFont(9, false));
    p.setPen(QColor(150, 156, 164));
    for (int y = 35, db = 80; y <= 95; y += 20, db -= 20)
        p.drawText(QRect(2, y - 7, 29, 14), Qt::AlignRight | Qt::AlignVCenter, QString::number(db));
    p.setFont(SansFont(11, true));
    p.setPen(QColor(200, 205, 212));
    p.drawText(QRect(4, 0, 40, 15), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("dB"));
    return image;
}

enum class ButtonState { Normal, Hover, Pressed };

// A round key on the black form; the symbol is drawn in a 30 x 30 design space.
QImage ButtonImage(int size, ButtonState state, const std::function<void(QPainter&)>& symbol) {
    QImage image = NewImage(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size / 30.0;
    p.scale(s, s);
    const QPointF c(15, 15);
    QLinearGradient rim(0, 0, 0, 30);
    rim.setColorAt(0.0, state == ButtonState::Hover ? QColor(150, 156, 166) : QColor(96, 102, 110));
    rim.setColorAt(1.0, QColor(24, 26, 30));
    p.setPen(Qt::NoPen);
    p.setBrush(rim);
    p.drawEllipse(c, 14.5, 14.5);
    QLinearGradient face(0, 2, 0, 28);
    if (state == ButtonState::Pressed) {
        face.setColorAt(0.0, QColor(12, 13, 15));
        face.setColorAt(1.0, QColor(40, 44, 50));
    } else {
        face.setColorAt(0.0, state == ButtonState::Hover ? QColor(64, 70, 78) : QColor(50, 55, 62));
        face.setColorAt(1.0, QColor(18, 20, 23));
    }
    p.setBrush(face);
    p.drawEllipse(c, 13, 13);
    const QColor colour = state == ButtonState::Pressed ? QColor(233, 103, 41)
                          : state == ButtonState::Hover ? QColor(246, 248, 250)
                                                        : QColor(176, 182, 190);
    if (state == ButtonState::Pressed)
        p.translate(0.5, 0.5);
    p.setBrush(colour);
    p.setPen(Qt::NoPen);
    symbol(p);
    return image;
}

void PlaySymbol(QPainter& p) {
    p.drawPolygon(QPolygonF{{11.5, 8.5}, {22, 15}, {11.5, 21.5}});
}

void PauseSymbol(QPainter& p) {
    p.drawRoundedRect(QRectF(10, 9, 3.8, 12), 0.8, 0.8);
    p.drawRoundedRect(QRectF(16.2, 9, 3.8, 12), 0.8, 0.8);
}

void StopSymbol(QPainter& p) {
    p.drawRoundedRect(QRectF(10, 10, 10, 10), 1.2, 1.2);
}

void NextSymbol(QPainter& p) {
    p.drawPolygon(QPolygonF{{8, 9.5}, {15, 15}, {8, 20.5}});
    p.drawPolygon(QPolygonF{{14.5, 9.5}, {21.5, 15}, {14.5, 20.5}});
    p.drawRect(QRectF(21.5, 9.5, 2, 11));
}

void PreviousSymbol(QPainter& p) {
    p.drawRect(QRectF(6.5, 9.5, 2, 11));
    p.drawPolygon(QPolygonF{{15.5, 9.5}, {8.5, 15}, {15.5, 20.5}});
    p.drawPolygon(QPolygonF{{22, 9.5}, {15, 15}, {22, 20.5}});
}

void FolderSymbol(QPainter& p) {
    const QColor colour = p.brush().color();
    QPainterPath back;
    back.moveTo(7.5, 10);
    back.lineTo(12.5, 10);
    back.lineTo(14, 11.8);
    back.lineTo(22.5, 11.8);
    back.lineTo(22.5, 21);
    back.lineTo(7.5, 21);
    back.closeSubpath();
    p.setBrush(colour.darker(150));
    p.drawPath(back);
    QPainterPath front;
    front.moveTo(7.5, 21);
    front.lineTo(9.5, 14.2);
    front.lineTo(24, 14.2);
    front.lineTo(22.5, 21);
    front.closeSubpath();
    p.setBrush(colour);
    p.drawPath(front);
}

// Sound waves beside the speaker, or a cross when it is muted.
void SpeakerSymbol(QPainter& p, bool muted) {
    p.drawPolygon(QPolygonF{{6, 12}, {10, 12}, {15, 7.5}, {15, 22.5}, {10, 18}, {6, 18}});
    QPen wave(p.brush().color(), 1.6, Qt::SolidLine, Qt::RoundCap);
    p.setPen(wave);
    p.setBrush(Qt::NoBrush);
    if (muted) {
        p.drawLine(QPointF(18, 11.5), QPointF(24, 18.5));
        p.drawLine(QPointF(24, 11.5), QPointF(18, 18.5));
        return;
    }
    p.drawArc(QRectF(12, 10, 7, 10), -50 * 16, 100 * 16);
    p.drawArc(QRectF(11, 7, 12, 16), -50 * 16, 100 * 16);
}

// The speaker is a single image used for every state: a plain orange symbol on black.
QImage SpeakerImage(bool muted) {
    QImage image = NewImage(30, 30);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(233, 103, 41));
    SpeakerSymbol(p, muted);
    return image;
}

// The window icon: the dial, round, on a transparent square.
QImage AppIcon() {
    QImage icon(64, 64, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    QPainterPath round;
    round.addEllipse(QRectF(0, 0, 64, 64));
    p.setClipPath(round);
    p.drawImage(QRectF(0, 0, 64, 64), Speedometer());
    return icon;
}

bool Save(const QDir& dir, int id, const QImage& image) {
    const QString path = dir.filePath(QStringLiteral("%1.png").arg(id));
    if (!image.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString out =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(VANTRAIL_BITMAP_DIR);
    QDir dir(out);
    if (!dir.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(out));
        return 1;
    }
    bool ok = Save(dir, 128, AppIcon());
    ok = Save(dir, 218, NewImage(800, 600)) && ok;
    ok = Save(dir, 1159, Speedometer()) && ok;
    for (int k = 0; k < 24; ++k) ok = Save(dir, 1161 + k, CompassRose(k)) && ok;
    ok = Save(dir, 1185, GSensorPanel()) && ok;
    ok = Save(dir, 1186, SatellitePanel()) && ok;

    // Each set: pressed, mask, normal, hover at consecutive ids.
    struct Set {
        int first;
        int size;
        void (*symbol)(QPainter&);
    };
    const Set sets[] = {{1194, 30, PlaySymbol},     {1198, 30, NextSymbol},
                        {1202, 30, PreviousSymbol}, {1206, 30, StopSymbol},
                        {1210, 45, FolderSymbol},   {1216, 30, PauseSymbol}};
    for (const Set& s : sets) {
        ok = Save(dir, s.first, ButtonImage(s.size, ButtonState::Pressed, s.symbol)) && ok;
        ok = Save(dir, s.first + 1, NewImage(s.size, s.size)) && ok;
        ok = Save(dir, s.first + 2, ButtonImage(s.size, ButtonState::Normal, s.symbol)) && ok;
        ok = Save(dir, s.first + 3, ButtonImage(s.size, ButtonState::Hover, s.symbol)) && ok;
    }
    ok = Save(dir, 1214, NewImage(30, 30)) && ok;
    ok = Save(dir, 1215, SpeakerImage(false)) && ok;
    ok = Save(dir, 1220, SpeakerImage(true)) && ok;
    return ok ? 0 : 1;
}
