// Renders each instrument, the skin buttons in each state and both sliders into PNG files.
// Usage: gallery <output folder>

#include <QApplication>
#include <QDir>
#include <QEnterEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>

#include <cstdio>

#include "instruments/instrument_font.h"
#include "instruments/speedo_meter.h"
#include "skin/pro_slider_ctrl.h"
#include "skin/segment_bar.h"
#include "skin/skin_button.h"
#include "tools/gallery/sample_track.h"

namespace {

QDir outDir;
bool failed = false;

void Save(const QImage& image, const QString& name) {
    const QString path = outDir.filePath(name + QStringLiteral(".png"));
    if (!image.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        failed = true;
    }
}

QImage Grab(QWidget& w) {
    return w.grab().toImage();
}

void Instrument(InstrumentMode mode, int face, const TrackEntry* list, const TrackEntry* current,
                const QString& name) {
    CSpeedoMeter meter;
    meter.SetFaceBitmap(face);
    meter.SetMode(mode);
    if (mode == InstrumentMode::Speedometer) {
        meter.SetNeedleWidth(3);
        meter.SetNeedleColor(0x3F57FFu);
    }
    meter.resize(meter.sizeHint());
    meter.SetSampleList(list);
    meter.SetCurrentSample(current);
    Save(Grab(meter), name);
}

// The three looks of a button set side by side on the form's black, then the speaker.
void Buttons() {
    struct Set {
        const char* name;
        int pressed;
        int size;
    };
    const Set sets[] = {{"play", 1194, 30}, {"pause", 1216, 30}, {"previous", 1202, 30},
                        {"next", 1198, 30}, {"stop", 1206, 30},  {"folder", 1210, 45}};
    for (const Set& s : sets) {
        QImage row(3 * (s.size + 10) + 10, s.size + 20, QImage::Format_RGB32);
        row.fill(Qt::black);
        QPainter painter(&row);
        for (int state = 0; state < 3; ++state) {
            QWidget form;
            form.setStyleSheet(QStringLiteral("background: black"));
            form.resize(s.size + 20, s.size + 20);
            CSkinButton button(&form);
            button.move(10, 10);
            button.SetBitmaps(s.pressed + 2, s.pressed, s.pressed + 3, 0, 0, s.pressed + 1, 0,
                              false, 0);
            if (state == 1) {
                QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), QPointF(15, 15), Qt::NoButton,
                                 Qt::NoButton, Qt::NoModifier);
                QApplication::sendEvent(&button, &move);
            } else if (state == 2) {
                button.setDown(true);
            }
            painter.drawImage(10 + state * (s.size + 10), 10,
                              Grab(button).convertToFormat(QImage::Format_RGB32));
        }
        painter.end();
        Save(row, QStringLiteral("button-%1").arg(QString::fromLatin1(s.name)));
    }
    for (const auto& [image, name] : {std::pair{1215, "button-speaker"}, {1220, "button-muted"}}) {
        CSkinButton speaker;
        speaker.SetBitmaps(image, image, image, 0, image, 1214, 0, false, 0);
        Save(Grab(speaker), QString::fromLatin1(name));
    }
}

// The speed bar as the control form sizes it, the normal speed chosen.
void SpeedBar() {
    CSegmentBar bar;
    bar.resize(230, 20);
    bar.SetLabels({"x1/4", "x1/2", "x1", "x2", "x4", "x8"});
    bar.SetCurrent(2);
    Save(Grab(bar), QStringLiteral("speed-bar"));
}

void Slider(int width, int max, int pos, const QString& name) {
    CProSliderCtrl slider;
    slider.resize(width, 18);
    slider.setRange(0, max);
    slider.setValue(pos);
    slider.SetDrawRange(0, static_cast<qint16>(max));
    slider.SetDrawPos(pos);
    Save(Grab(slider), name);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: gallery <output folder>\n");
        return 2;
    }
    outDir = QDir(QString::fromLocal8Bit(argv[1]));
    if (!outDir.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    RegisterInstrumentFont();

    std::vector<TrackEntry> hour = MakeDriveTrack(3600);
    std::vector<TrackEntry> minute = MakeDriveTrack(60);
    const auto at = [&](int i) { return &hour[static_cast<size_t>(i)]; };

    Instrument(InstrumentMode::Speedometer, 1159, hour.data(), nullptr,
               QStringLiteral("speedometer-stopped"));
    hour[10].sample.speed = 57.6;
    Instrument(InstrumentMode::Speedometer, 1159, hour.data(), at(10),
               QStringLiteral("speedometer-57"));
    hour[11].sample.speed = 123.0;
    Instrument(InstrumentMode::Speedometer, 1159, hour.data(), at(11),
               QStringLiteral("speedometer-123"));
    hour[12].sample.speed = 238.0;
    Instrument(InstrumentMode::Speedometer, 1159, hour.data(), at(12),
               QStringLiteral("speedometer-238"));
    for (int course : {0, 50, 135, 290}) {
        hour[20].sample.dir = course;
        Instrument(InstrumentMode::Compass, 1161, hour.data(), at(20),
                   QStringLiteral("compass-%1").arg(course));
    }
    Instrument(InstrumentMode::GSensorChart, 1185, nullptr, nullptr,
               QStringLiteral("gsensor-empty"));
    Instrument(InstrumentMode::GSensorChart, 1185, minute.data(), &minute[42],
               QStringLiteral("gsensor-60"));
    Instrument(InstrumentMode::GSensorChart, 1185, hour.data(), at(200),
               QStringLiteral("gsensor-3600"));
    Instrument(InstrumentMode::SatelliteChart, 1186, nullptr, nullptr,
               QStringLiteral("satellites-empty"));
    Instrument(InstrumentMode::SatelliteChart, 1186, hour.data(), at(300),
               QStringLiteral("satellites-12"));

    Buttons();
    Slider(454, 100, 50, QStringLiteral("slider-progress-50"));
    Slider(454, 100, 0, QStringLiteral("slider-progress-0"));
    Slider(60, 10, 10, QStringLiteral("slider-volume-10"));
    SpeedBar();
    return failed ? 1 : 0;
}
