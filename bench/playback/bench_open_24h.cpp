// A double-click on a row with a 24-hour log, up to its first second on the instruments: the
// control form with its instruments and player, no map page. Run from a Release build:
// build-release/bin/bench_open_24h

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>

#include "app/app_state.h"
#include "app/message.h"
#include "playback/control_form.h"
#include "skin/dialog_template.h"

namespace {

constexpr int kDaySeconds = 24 * 3600;

// One group per second as the camera writes it, moving north a little each second.
QByteArray DayLog() {
    QByteArray log;
    log.reserve(kDaySeconds * 200);
    char line[160];
    for (int i = 0; i < kDaySeconds; ++i) {
        const int h = i / 3600, m = i / 60 % 60, s = i % 60;
        std::snprintf(
            line, sizeof line,
            "$GPGGA,%02d%02d%02d.00,2503.%04d,N,12130.0000,E,1,08,0.9,10.0,M,0,M,,*00\r\n", h, m, s,
            i % 10000);
        log += line;
        std::snprintf(
            line, sizeof line,
            "$GPRMC,%02d%02d%02d.00,A,2503.%04d,N,12130.0000,E,27.0,90.0,040313,,,A*00\r\n", h, m,
            s, i % 10000);
        log += line;
        log += "$GPVTG,90.0,T,90.0,M,27.0,N,50.0,K*00\r\n$GSENSOR,10,-20,1000\r\n";
    }
    return log;
}

void OpenToFirstTick(benchmark::State& state) {
    QTemporaryDir dir;
    theApp().moduleDir = dir.path().toStdString();
    SetMessageHandler([](const std::string&, const std::string&) {});
    QFile log(dir.filePath("DAY.nmea"));
    if (!log.open(QIODevice::WriteOnly) || log.write(DayLog()) < 0)
        state.SkipWithError("cannot write the log");
    log.close();

    CControlForm form;
    form.Recordings().SetFileDialog([&](QWidget*, const QString&, const QList<FileFilter>&) {
        return std::optional<QStringList>(QStringList{log.fileName()});
    });
    form.Recordings().SelectRecordings();
    auto* list = qobject_cast<QTreeWidget*>(GetDlgItem(&form, 1155));
    list->setCurrentItem(list->topLevelItem(0));
    for (auto _ : state) {
        emit list->itemDoubleClicked(list->topLevelItem(0), 0);
        // The track loads in the background; the first second shows as soon as it is there.
        while (form.Session().Loading())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        state.PauseTiming();
        form.Session().StopPlayback(false);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        // A changed log is read again, as on a first double-click.
        std::filesystem::last_write_time(log.fileName().toStdString(),
                                         std::filesystem::file_time_type::clock::now());
        state.ResumeTiming();
    }
    state.counters["seconds"] = form.Session().LastIndex() + 1;
}
// The loading thread's time counts too.
BENCHMARK(OpenToFirstTick)->Unit(benchmark::kMillisecond)->Iterations(5)->MeasureProcessCPUTime();

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
