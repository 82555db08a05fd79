#include "map/map_bridge.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QWidget>

#include <cstring>

#include "app/app_state.h"
#include "app/format.h"
#include "app/history_log.h"
#include "app/profile.h"
#include "map/http_retriever.h"
#include "map/js_call_doc.h"
#include "map/js_call_view.h"
#include "map/map_dlg.h"
#include "skin/dialog_template.h"

namespace {
constexpr int kProxyStatus = 401;
// The page keeps margins inside the view.
constexpr int kMarginWidth = 30;
constexpr int kMarginHeight = 20;

void LogFetchError(const std::string& url) {
    WriteHistoryLog("connect IP: %s!\n", url.c_str());
    WriteHistoryLog("Get page error!!\n");
}

QString Number(double value) {
    return QString::fromStdString(FormatText("%f", value));
}

QString Number(int value) {
    return QString::fromStdString(FormatText("%d", value));
}

QString Json(const QJsonArray& value) {
    return QString::fromUtf8(QJsonDocument(value).toJson(QJsonDocument::Compact));
}
}  // namespace

namespace {
std::string TileTemplate() {
    return ReadProfileString("UM_CONFIG", "TILE_URL", "", theApp().ConfigFile("um_config.ini"));
}
}  // namespace

std::vector<std::string> MapServers() {
    std::vector<std::string> servers(theApp().mapUrls.begin(), theApp().mapUrls.end());
    if (std::string tiles = TileTemplate(); !tiles.empty())
        servers.push_back(std::move(tiles));
    return servers;
}

QUrl BundledMapPageUrl() {
    QUrl url(QString::fromLatin1(kBundledMapPage));
    const std::string tiles = TileTemplate();
    if (!tiles.empty())
        url.setQuery(QStringLiteral("tiles=") +
                     QString::fromLatin1(QUrl::toPercentEncoding(QString::fromStdString(tiles))));
    return url;
}

CMapBridge::CMapBridge() = default;

CMapBridge::~CMapBridge() {
    stopDiscovery_.request_stop();
    if (discovery_.joinable())
        discovery_.join();
}

CJSCallView* CMapBridge::View() const {
    return view_;
}

const std::string& CMapBridge::UrlInUse() const {
    return mapUrls[static_cast<size_t>(mapUrlIndex)];
}

void CMapBridge::LoadMapUrls() {
    mapUrls[0] = theApp().mapUrls[0];
}

std::string CMapBridge::NextMapUrl() const {
    const size_t next = static_cast<size_t>(mapUrlIndex) + 1;
    return next < mapUrls.size() ? mapUrls[next] : std::string();
}

bool CMapBridge::DetectProxy() {
    CHttpRetriever retriever;
    retriever.SetStopToken(stopDiscovery_.get_token());
    retriever.GetHeaders(UrlInUse().c_str());
    return retriever.GetStatusCode() == kProxyStatus;
}

bool CMapBridge::ProbeMapServer() {
    CHttpRetriever retriever;
    retriever.SetStopToken(stopDiscovery_.get_token());
    const std::string& url = UrlInUse();
    std::string prefix;
    const char* page = retriever.GetPage(url.c_str(), false, nullptr, 0);
    if (Stopped())
        return false;  // given up, not failed: nothing to log
    if (page == nullptr) {
        // A redirect to another server is a failed fetch: the route never goes there.
        if (!retriever.RefusedRedirect().empty())
            WriteHistoryLog("IP %s redirects to %s: not followed!\n", url.c_str(),
                            retriever.RefusedRedirect().c_str());
        LogFetchError(url);
    } else if (std::strlen(page) >= kMapPageMarkerLength)
        prefix.assign(page, kMapPageMarkerLength);
    if (prefix == kMapPageMarker) {
        WriteHistoryLog("IP %s is responsible!\n", url.c_str());
        return true;
    }
    // One more candidate; with a single slot there is none and its fetch fails at once.
    const std::string next = NextMapUrl();
    if (retriever.GetPage(next.c_str(), false, nullptr, 0) == nullptr)
        LogFetchError(url);
    WriteHistoryLog("Useful IP not found!!\n");
    WriteHistoryLog("IP %s is used!\n", url.c_str());
    return false;
}

void CMapBridge::StartMap(QWidget* mapWindow) {
    if (document_)
        return;
    mapWindow_ = mapWindow;
    document_ = std::make_unique<CJSCallDoc>();
    // Born inside the map window: a browser view moved there later drops native windows of
    // other pages (the video window among them) when its own window is torn down.
    auto* view = new CJSCallView(mapWindow);
    if (view->CreateInPlace(CMapDlg::kMapControlId, mapWindow) != 0)
        view_ = view;
    else
        delete view;  // no map window to show it in
    LoadMapUrls();
    theApp().UpdateInetFlag();
    mapUrlIndex = 0;
    if (view_)
        view_->SetDocument(document_.get());

    // The fetches may wait seconds on a dead device: off the UI thread, with the page shown
    // from the UI thread once they end (unless the window went away meanwhile).
    discovery_ = std::thread([this, inetFlag = theApp().m_InetFlag] {
        const MapPage page = Discover(inetFlag);
        if (!Stopped())
            QMetaObject::invokeMethod(
                document_.get(), [this, page] { ShowPage(page); }, Qt::QueuedConnection);
    });
}

CMapBridge::MapPage CMapBridge::Discover(uint32_t inetFlag) {
    WriteHistoryLog("m_InetFlag: %x\n", inetFlag);
    if ((inetFlag & kInetConnected) == 0)
        return MapPage::kBundled;
    WriteHistoryLog("Internet connected!...\n");
    const bool proxy = DetectProxy();
    if (Stopped())
        return MapPage::kBundled;  // given up: no outcome to log
    if (proxy) {
        WriteHistoryLog("proxy detected!!\n");
        ProbeMapServer();
        return MapPage::kConfigured;
    }
    WriteHistoryLog("no proxy detected...\n");
    return ProbeMapServer() ? MapPage::kConfigured : MapPage::kBundled;
}

// The configured page may still fail to load (an error page, or a login the view cannot
// give): our own page then takes its place, so the route is always drawn.
void CMapBridge::ShowPage(MapPage page) {
    if (!view_)
        return;
    if (page == MapPage::kConfigured)
        view_->Navigate(UrlInUseForView(), BundledMapPageUrl());
    else
        view_->Navigate(BundledMapPageUrl());
}

// The fetch takes a URL without scheme as HTTP; so must the view.
QUrl CMapBridge::UrlInUseForView() const {
    return QUrl::fromUserInput(QString::fromStdString(UrlInUse()));
}

bool CMapBridge::PageLoaded() const {
    return document_ && document_->Script().HasDocument();
}

void CMapBridge::Reload(double latitude, double longitude, int level) {
    if (document_)
        document_->CallScript("Reload", {Number(latitude), Number(longitude), Number(level)});
}

void CMapBridge::AddPolyLinePoint(double latitude, double longitude) {
    if (document_)
        document_->CallScript("AddPolyLinePoint", {Number(latitude), Number(longitude)});
}

void CMapBridge::DrawPolyLine() {
    if (document_)
        document_->CallScript("DrawPolyLine", {});
}

void CMapBridge::MoveTo(double latitude, double longitude) {
    if (document_)
        document_->CallScript("MoveTo", {Number(latitude), Number(longitude)});
}

void CMapBridge::MapResize(int width, int height) {
    if (document_)
        document_->CallScript("MapResize", {Number(width), Number(height)});
}

void CMapBridge::RenewCursor(double latitude, double longitude) {
    if (document_)
        document_->CallScript("RenewCursor", {Number(latitude), Number(longitude)});
}

void CMapBridge::ShowEvents(const std::vector<MapEvent>& events) {
    if (!PageLoaded())
        return;
    QJsonArray list;
    for (const MapEvent& e : events) {
        list.append(QJsonObject{{"lat", e.lat},
                                {"lon", e.lon},
                                {"kind", QString::fromStdString(e.kind)},
                                {"peak", e.peak},
                                {"index", e.index},
                                {"utc", QString::fromStdString(e.utc)}});
    }
    document_->CallScript("ShowEvents", {Json(list)}, true);
}

void CMapBridge::ShowTripRoutes(const std::vector<MapRoute>& routes, int current) {
    if (!PageLoaded())
        return;
    QJsonArray list;
    for (const MapRoute& route : routes) {
        QJsonArray points;
        for (const auto& p : route) points.append(QJsonArray{p[0], p[1]});
        list.append(points);
    }
    document_->CallScript("ShowTripRoutes", {Json(list), Number(current)}, true);
}

void CMapBridge::ResizeMap() {
    if (!PageLoaded())
        return;
    const QWidget* view = GetDlgItem(mapWindow_, CMapDlg::kMapControlId);
    if (view == nullptr)
        return;
    const int width = view->frameGeometry().width() - kMarginWidth;
    const int height = view->frameGeometry().height() - kMarginHeight;
    if (width >= 1 && height >= 1)
        MapResize(width, height);
}
