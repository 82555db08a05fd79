// map-preview LOG [--play]
// Shows the map window on its own, runs map discovery as the player does at start-up, then
// draws the route of the log's fixed RMC positions and puts the vehicle on its first position;
// with --play the vehicle moves on once a second, wrapping at the end.

#include <QApplication>
#include <QFile>
#include <QStringList>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <vector>

#include "app/app_state.h"
#include "map/browser_engine.h"
#include "map/map_bridge.h"
#include "map/map_dlg.h"

namespace {
struct Position {
    double lat;
    double lon;
};

// ddmm.mmmm (or dddmm.mmmm) and a hemisphere letter to signed decimal degrees.
double Degrees(const QString& value, const QString& hemisphere) {
    const double raw = value.toDouble();
    const double degrees = std::floor(raw / 100.0);
    const double result = degrees + (raw - degrees * 100.0) / 60.0;
    return hemisphere == "S" || hemisphere == "W" ? -result : result;
}

std::vector<Position> ReadRoute(const QString& path) {
    std::vector<Position> route;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return route;
    while (!file.atEnd()) {
        const QStringList f = QString::fromLatin1(file.readLine()).trimmed().split(',');
        if (f.size() >= 7 && f[0].startsWith('$') && f[0].endsWith("RMC") && f[2] == "A" &&
            !f[3].isEmpty() && !f[5].isEmpty())
            route.push_back({Degrees(f[3], f[4]), Degrees(f[5], f[6])});
    }
    return route;
}

}  // namespace

int main(int argc, char* argv[]) {
    PrepareBrowserEngine();
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        (void)std::fprintf(stderr, "usage: map-preview LOG [--play]\n");
        return 2;
    }
    const std::vector<Position> route = ReadRoute(args[1]);
    if (route.empty()) {
        (void)std::fprintf(stderr, "map-preview: no fixed RMC position in %s\n",
                           qPrintable(args[1]));
        return 1;
    }
    const bool play = args.contains("--play");

    theApp().InitModulePaths();
    theApp().LoadConfig();
    ConfineBrowserEngine(MapServers());
    CMapBridge map;
    CMapDlg window;
    QObject::connect(&window, &CMapDlg::StartMapRequested, [&] { map.StartMap(&window); });
    QObject::connect(&window, &CMapDlg::Resized, [&] { map.ResizeMap(); });
    window.setWindowTitle("Map preview: " + args[1]);
    window.resize(720, 480);
    window.show();

    size_t cursor = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (!map.PageLoaded())
            return;
        if (tick.interval() != 1000) {  // first tick with a page: the route, as on opening
            for (const Position& p : route) map.AddPolyLinePoint(p.lat, p.lon);
            map.DrawPolyLine();
            map.Reload(route[0].lat, route[0].lon, 16);
            map.ResizeMap();
            tick.setInterval(1000);
        } else if (play) {
            cursor = (cursor + 1) % route.size();
        }
        map.MoveTo(route[cursor].lat, route[cursor].lon);
        map.RenewCursor(route[cursor].lat, route[cursor].lon);
    });
    tick.start(100);
    return app.exec();
}
