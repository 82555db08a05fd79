// A double-click on a row with a 24-hour log, up to its first second on the instruments: the
// control form with its instruments and player, no map page. Then the route of a day through a
// city grid on our own map page: simplified for the trip, or every point of it. Run from a
// Release build:
// build-release/bin/bench_open_24h

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QWebEnginePage>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <numbers>

#include "app/app_state.h"
#include "app/message.h"
#include "map/browser_engine.h"
#include "map/js_call_view.h"
#include "map/map_bridge.h"
#include "map/map_dlg.h"
#include "playback/control_form.h"
#include "skin/dialog_template.h"
#include "track/track.h"
#include "trip/trip_loader.h"

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

// A day through a city grid as a camera logs it: streets at 20 degrees to the parallels, blocks
// of 120 m driven at 12 m/s, a turn every few blocks, ten minutes parked every hour (the
// receiver holds its position then), each fix off by up to half a metre.
QByteArray StreetDayLog() {
    constexpr double kPi = std::numbers::pi;
    constexpr double kMetresPerDegree = 111'320;
    const double metresPerDegreeLon = kMetresPerDegree * std::cos(25.05 * kPi / 180);
    const double angle = 20 * kPi / 180;
    uint32_t seed = 1;
    const auto random = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) / double(1 << 24);
    };
    const int du[] = {1, 0, -1, 0}, dv[] = {0, 1, 0, -1};
    int heading = 0, step = 0, blocksLeft = 3;
    double u = 0, v = 0;  // metres along the grid's streets
    char lat[16] = "", lon[16] = "";
    QByteArray log;
    log.reserve(kDaySeconds * 200);
    char line[160];
    for (int i = 0; i < kDaySeconds; ++i) {
        if (i % 3600 < 3000 || lat[0] == '\0') {
            u += 12 * du[heading];
            v += 12 * dv[heading];
            if (++step % 10 == 0 && --blocksLeft == 0) {
                heading = (heading + (random() < 0.5 ? 1 : 3)) % 4;
                blocksLeft = 1 + static_cast<int>(random() * 5);
            }
            const double x = u * std::cos(angle) - v * std::sin(angle) + random() - 0.5;
            const double y = u * std::sin(angle) + v * std::cos(angle) + random() - 0.5;
            const double latitude = 25.05 + y / kMetresPerDegree;
            const double longitude = 121.5 + x / metresPerDegreeLon;
            std::snprintf(lat, sizeof lat, "%09.4f",
                          std::floor(latitude) * 100 + (latitude - std::floor(latitude)) * 60);
            std::snprintf(lon, sizeof lon, "%010.4f",
                          std::floor(longitude) * 100 + (longitude - std::floor(longitude)) * 60);
        }
        const int h = i / 3600, m = i / 60 % 60, s = i % 60;
        std::snprintf(line, sizeof line,
                      "$GPGGA,%02d%02d%02d.00,%s,N,%s,E,1,08,0.9,10.0,M,0,M,,*00\r\n", h, m, s, lat,
                      lon);
        log += line;
        log += "$GSENSOR,10,-20,1000\r\n";
    }
    return log;
}

// Every valid position of the day's log, or what the trip keeps of them.
MapRoute DayRoute(bool simplified) {
    static QTemporaryDir dir;
    const QString path = dir.filePath("STREETS.nmea");
    if (!QFile::exists(path)) {
        QFile log(path);
        if (log.open(QIODevice::WriteOnly))
            log.write(StreetDayLog());
    }
    MapRoute route;
    TrackEntry* track = LoadTrack(path.toStdString(), "");
    for (const TrackEntry* e = track; e != nullptr; e = e->next) {
        double lat = 0, lon = 0;
        NmeaToDegrees(e->sample.lat, e->sample.lon, &lat, &lon);
        if (e->sample.valid > 0)
            route.push_back({lat, lon});
    }
    FreeTrack(track);
    return simplified ? SimplifyRoute(route) : route;
}

void RouteSimplify(benchmark::State& state) {
    const MapRoute route = DayRoute(false);
    size_t points = 0;
    for (auto _ : state) points = SimplifyRoute(route).size();
    state.counters["points"] = static_cast<double>(points);
}
BENCHMARK(RouteSimplify)->Unit(benchmark::kMillisecond);

// Our own map page in a map window, as the player shows it without a map server.
class MapPage {
public:
    MapPage() {
        theApp().moduleDir = dir_.path().toStdString();
        SetConnectionProbe([] { return false; });
        window_.resize(810, 470);
        window_.show();
        bridge_.StartMap(&window_);
        while (!bridge_.PageLoaded())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    CMapBridge& Bridge() { return bridge_; }
    // Returns once the page has run every call made before.
    void Settle() {
        QWebEnginePage* page = bridge_.View()->page();
        bool done = false;
        QMetaObject::invokeMethod(
            page, [&] { page->runJavaScript("0", [&](const QVariant&) { done = true; }); },
            Qt::QueuedConnection);
        while (!done) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }

private:
    QTemporaryDir dir_;
    CMapDlg window_;
    CMapBridge bridge_;
};
std::unique_ptr<MapPage> page;

MapPage& Page() {
    if (!page)
        page = std::make_unique<MapPage>();
    return *page;
}

// The trip's route drawn on the page (ShowTripRoutes: one call, the route as JSON), wall time
// until the page has drawn it.
void TripRouteDraw(benchmark::State& state) {
    const MapRoute route = DayRoute(state.range(0) != 0);
    MapPage& map = Page();
    map.Bridge().ShowTripRoutes({route}, 0);  // the first call also warms the page up
    map.Settle();
    for (auto _ : state) {
        map.Bridge().ShowTripRoutes({route}, 0);
        map.Settle();
    }
    state.counters["points"] = static_cast<double>(route.size());
}
BENCHMARK(TripRouteDraw)
    ->ArgName("simplified")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Every point sent in batches of calls (AddPolyLinePoint, then DrawPolyLine), as the player
// draws the recording's own route.
void RouteInBatches(benchmark::State& state) {
    const MapRoute route = DayRoute(false);
    MapPage& map = Page();
    for (auto _ : state) {
        for (const auto& p : route) map.Bridge().AddPolyLinePoint(p[0], p[1]);
        map.Bridge().DrawPolyLine();
        map.Settle();
    }
    map.Bridge().DrawPolyLine();  // no route of its own for the next rows
    map.Settle();
    state.counters["points"] = static_cast<double>(route.size());
}
BENCHMARK(RouteInBatches)->Unit(benchmark::kMillisecond)->UseRealTime();

// A playback tick at street zoom with the day's trip route on the page: the marker moves and
// the map pans, which makes the page lay the route out again.
void TickOverRoute(benchmark::State& state) {
    const MapRoute route = DayRoute(state.range(0) != 0);
    MapPage& map = Page();
    map.Bridge().ShowTripRoutes({route}, 0);
    map.Bridge().Reload(route[0][0], route[0][1], 16);
    map.Settle();
    size_t at = 0;
    for (auto _ : state) {
        at = (at + 1) % route.size();
        map.Bridge().MoveTo(route[at][0], route[at][1]);
        map.Bridge().RenewCursor(route[at][0], route[at][1]);
        map.Settle();
    }
}
BENCHMARK(TickOverRoute)
    ->ArgName("simplified")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    PrepareBrowserEngine();
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    page.reset();
    return 0;
}
