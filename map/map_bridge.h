#pragma once
// The control form's side of the map: discovery of the map server at start-up, the map
// document and view it creates, and one wrapper per script function of the map page. The
// control form owns one and forwards to it.

#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "map/route_shape.h"

class CJSCallDoc;
class CJSCallView;

// The first 40 bytes of every map page.
inline constexpr const char kMapPageMarker[] = "<!-- This is Zavo right reserved map -->";
inline constexpr size_t kMapPageMarkerLength = sizeof kMapPageMarker - 1;

// Our own map page, shown when no map server was found.
inline constexpr const char* kBundledMapPage = "qrc:/map/zavomap.html";

// A driving event to mark on the map.
struct MapEvent {
    double lat = 0;  // decimal degrees
    double lon = 0;
    std::string kind;  // "harsh" or "bump"
    double peak = 0;   // g
    int index = 0;     // the second of the recording
    std::string utc;
};

class CMapBridge {
public:
    CMapBridge();
    ~CMapBridge();
    CMapBridge(const CMapBridge&) = delete;
    CMapBridge& operator=(const CMapBridge&) = delete;

    // Once per run: creates the document and the view in place of mapWindow's control 1080,
    // checks the connection, and returns. The probes of the configured URL wait on the
    // network for seconds, so they run on a worker thread and the window keeps answering;
    // when they end, the view shows the page found there, or our own page when discovery
    // ends without one (or that page then fails to load). Later calls do nothing.
    void StartMap(QWidget* mapWindow);
    void LoadMapUrls();
    // Fetches of the URL in use; safe on the worker thread (nothing changes the URLs then).
    bool DetectProxy();
    bool ProbeMapServer();
    std::string NextMapUrl() const;

    // The page's script functions; callers test PageLoaded() first.
    void Reload(double latitude, double longitude, int level);
    void AddPolyLinePoint(double latitude, double longitude);
    void DrawPolyLine();
    void MoveTo(double latitude, double longitude);
    void MapResize(int width, int height);
    void RenewCursor(double latitude, double longitude);

    // Functions of our own page only: a page without them is left alone. Nothing happens
    // before a page has completed.
    // Markers for the driving events of the recording, replacing earlier ones.
    void ShowEvents(const std::vector<MapEvent>& events);
    // Every route of the trip, the one at current standing out.
    void ShowTripRoutes(const std::vector<MapRoute>& routes, int current);

    // Tells the page the size of the map view (less room for its margins).
    void ResizeMap();

    // A page has completed and its functions can be called.
    bool PageLoaded() const;

    CJSCallDoc* Document() const { return document_.get(); }
    CJSCallView* View() const;

    std::array<std::string, 1> mapUrls;
    int mapUrlIndex = 0;

private:
    enum class MapPage { kBundled, kConfigured };

    const std::string& UrlInUse() const;
    QUrl UrlInUseForView() const;
    // The logged steps of discovery after the connection check; the page to show.
    MapPage Discover(uint32_t inetFlag);
    void ShowPage(MapPage page);
    bool Stopped() const { return stopDiscovery_.stop_requested(); }

    QPointer<QWidget> mapWindow_;
    std::unique_ptr<CJSCallDoc> document_;
    QPointer<CJSCallView> view_;  // owned by the map window once in place
    // Closing the window during discovery: the fetch under way gives up within a second.
    std::stop_source stopDiscovery_;
    std::thread discovery_;
};

// Our own page, with the tile source configured as TILE_URL in um_config.ini (none: a plain
// grid under the route).
QUrl BundledMapPageUrl();

// The servers the map view may reach: the configured map pages and the tile server.
std::vector<std::string> MapServers();
