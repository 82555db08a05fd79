// Map server discovery against loopback servers, script calls into pages in the real browser
// engine, and our own map page.

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>

#include <atomic>
#include <memory>
#include <mutex>

#include "app/app_state.h"
#include "loopback.h"
#include "map/browser_engine.h"
#include "map/js_call_doc.h"
#include "map/js_call_view.h"
#include "map/map_bridge.h"
#include "map/map_dlg.h"
#include "tests/support/fixture.h"

namespace {
// Waits in short steps: a single long processEvents keeps spinning while the browser engine
// posts events, long after the condition came true.
template <typename Predicate>
bool WaitFor(Predicate predicate, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!predicate()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(5);
    }
    return true;
}

// Runs script in the page after every script call made before it, and waits for its value.
// Script calls go to the page from the event loop, so this script is posted there too.
inline QVariant Eval(QWebEnginePage* page, const QString& script) {
    QVariant value;
    bool done = false;
    QMetaObject::invokeMethod(
        page,
        [&] {
            page->runJavaScript(script, [&](const QVariant& v) {
                value = v;
                done = true;
            });
        },
        Qt::QueuedConnection);
    if (!WaitFor([&] { return done; }, 10000))
        return QStringLiteral("<no answer>");
    return value;
}

// Every map function and a few more, each recording its call with its arguments, and how many
// calls each script evaluation made (a microtask runs once an evaluation has ended).
const char kRecorderPage[] = R"(<!-- This is Zavo right reserved map -->
<html><body><script>
window.calls = []; window.batches = []; var evaluating = false;
['Reload', 'AddPolyLinePoint', 'DrawPolyLine', 'MoveTo', 'MapResize', 'RenewCursor', 'Record']
  .forEach(function (n) { window[n] = function () {
    if (!evaluating) {
      evaluating = true; batches.push(0);
      Promise.resolve().then(function () { evaluating = false; });
    }
    ++batches[batches.length - 1];
    calls.push([n].concat(Array.prototype.slice.call(arguments)));
  }; });
window.Throw = function () { throw new Error('boom'); };
</script></body></html>)";

const QByteArray kMarker = kMapPageMarker;
const QString kFound = "IP @URL@ is responsible!";

// History.log with each time stamp replaced by "TS".
QByteArray HistoryWithoutTimes(const TestFixture& fixture) {
    static const QRegularExpression stamp(
        "^\\[\\d{4}/\\d{1,2}/\\d{1,2}\\]\\[\\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\]\t",
        QRegularExpression::MultilineOption);
    return QString::fromLatin1(fixture.Read("History.log")).replace(stamp, "TS\t").toLatin1();
}

// Each message ends in its own line feed, so an empty line follows it; line ends are CR LF.
QByteArray ExpectedHistory(const QStringList& messages) {
    QByteArray out;
    for (const QString& m : messages) out += "TS\t" + m.toLatin1() + "\r\n\r\n";
    return out;
}
}  // namespace

class TestMapPage : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestFixture> fixture_;
    LoopbackHttpServer http_;
    // Other origins on loopback: another port, another address (also the tile server).
    LoopbackHttpServer otherPort_;
    LoopbackHttpServer otherAddress_;
    std::atomic<int> elsewhere_ = 0;  // requests that reached another origin, tiles aside
    std::atomic<int> tiles_ = 0;
    std::mutex mutex_;
    int status_ = 200;
    std::string body_;
    int viewRequests_ = 0;  // those of the browser view, not of discovery's fetches
    std::string location_;  // where /moved, and /view-moved for the view, redirect to

    // Configures the map page at path of the test server, with the extra ini lines; its URL.
    QString Configure(const QString& path, const QByteArray& extra = {}) {
        const QString url = QString::fromStdString(http_.Url(path.toStdString()));
        fixture_->Write("um_config.ini",
                        "[UM_CONFIG]\r\nDEFAULT_IP_0=" + url.toLatin1() + "\r\n" + extra);
        theApp().LoadConfig();
        return url;
    }
    // The servers' "host:port" in place of @HOME@, @OTHER_PORT@ and @OTHER_ADDRESS@; the
    // others' with this run's first path segment.
    QString Bases(QString text) const {
        for (const auto& [name, url] : {std::pair{"@HOME@", http_.Url("")},
                                        {"@OTHER_PORT@", otherPort_.Url(Token())},
                                        {"@OTHER_ADDRESS@", otherAddress_.Url(Token())}})
            text.replace(name, QString::fromStdString(url).mid(7));
        return text;
    }
    // Other test runs on this machine may reach a port that was free when they chose it: only
    // requests on this run's paths count.
    static std::string Token() { return "/run" + std::to_string(getpid()); }

private slots:
    void initTestCase() {
        http_.server.Get(
            "/zavomap.html", [this](const httplib::Request& request, httplib::Response& r) {
                std::lock_guard<std::mutex> lock(mutex_);
                if (request.get_header_value("User-Agent") != "Qent Software HTTP Retriever 1.0")
                    ++viewRequests_;
                r.status = status_;
                if (status_ == 401)  // a login the view cannot give
                    r.set_header("WWW-Authenticate", "Basic realm=\"camera\"");
                r.set_content(body_, "text/html");
            });
        http_.server.Get("/(view-)?moved", [this](const httplib::Request& request, auto& r) {
            std::lock_guard<std::mutex> lock(mutex_);
            if (request.path == "/view-moved" &&
                request.get_header_value("User-Agent") == "Qent Software HTTP Retriever 1.0")
                r.set_content(body_, "text/html");
            else
                r.set_redirect(location_);
        });
        http_.Start();
        QVERIFY(http_.Port() > 0);
        // They answer 404 to anything, and count what reaches them.
        for (LoopbackHttpServer* other : {&otherPort_, &otherAddress_}) {
            other->server.set_logger([this](const httplib::Request& request, const auto&) {
                if (request.path.starts_with(Token() + "/"))
                    ++(request.path.starts_with(Token() + "/tiles/") ? tiles_ : elsewhere_);
            });
        }
        otherPort_.Start();
        otherAddress_.Start("127.0.0.2");
        QVERIFY(otherPort_.Port() > 0 && otherAddress_.Port() > 0);
        // As the player does, from the servers it is configured with: its map page and tiles.
        ConfineBrowserEngine({http_.Url("/zavomap.html"),
                              Bases("http://@OTHER_ADDRESS@/tiles/{z}/{x}/{y}.png").toStdString()});
    }

    void init() {
        fixture_ = std::make_unique<TestFixture>();
        SetConnectionProbe([] { return false; });
        std::lock_guard<std::mutex> lock(mutex_);
        status_ = 200;
        body_ = kRecorderPage;
        viewRequests_ = 0;
        elsewhere_ = 0;
        tiles_ = 0;
    }
    void cleanup() {
        SetConnectionProbe({});
        fixture_.reset();
    }

    // Every wrapper's texts in call order, a long route in full batches of calls, resizing,
    // which calls nothing below 31 x 21, and failing calls.
    void scriptCalls() {
        CMapDlg dlg;
        CMapBridge bridge;
        // Discovery finds the recorder page; until the page has completed, resizing the map
        // calls nothing and shows nothing.
        theApp().mapUrls[0] = http_.Url("/zavomap.html");
        SetConnectionProbe([] { return true; });
        bridge.ResizeMap();  // no document yet
        bridge.StartMap(&dlg);
        bridge.ResizeMap();
        QTRY_VERIFY_WITH_TIMEOUT(bridge.PageLoaded(), 15000);
        QVERIFY(fixture_->messages.isEmpty());
        bridge.Reload(24.123456, 121.5, 16);
        bridge.MoveTo(0.0, 0.0);
        bridge.RenewCursor(25.0, -121.1234567);
        bridge.MapResize(300, 200);
        // Functions of our own page only: a page without them gets no call and no failure.
        bridge.ShowEvents({{1.5, 2.5, "bump", 1.0, 3, "12:00:00"}});
        bridge.ShowTripRoutes({{{1.5, 2.5}}}, 0);
        const int points = 3 * CPageScript::kBatchCalls + 3;
        for (int i = 1; i <= points; ++i) bridge.AddPolyLinePoint(i / 1000.0, -(i / 1000.0));
        bridge.DrawPolyLine();
        for (QSize size : {QSize(30, 220), QSize(330, 20), QSize(31, 21)}) {
            bridge.View()->resize(size);
            bridge.ResizeMap();
        }
        QWebEnginePage* page = bridge.View()->page();
        QCOMPARE(Eval(page, "JSON.stringify(calls.slice(0, 5).concat(calls.slice(-2)))").toString(),
                 R"([["Reload","24.123456","121.500000","16"],["MoveTo","0.000000","0.000000"],)"
                 R"(["RenewCursor","25.000000","-121.123457"],["MapResize","300","200"],)"
                 R"(["AddPolyLinePoint","0.001000","-0.001000"],["DrawPolyLine"],)"
                 R"(["MapResize","1","1"]])");
        // Batches of kBatchCalls queued calls; our own page's two functions make no call here.
        QCOMPARE(
            Eval(page, "batches.join(' ')").toString(),
            QString("%1 %2 %2 11").arg(CPageScript::kBatchCalls - 2).arg(CPageScript::kBatchCalls));
        QCOMPARE(bridge.Document()->Script().LastFailure(), QString());
        // A failing call loses only itself; the texts reach the page as they are.
        CPageScript& script = bridge.Document()->Script();
        const QStringList texts{"\"); window.pwned = 1; (\"", "'); window.pwned = 1; ('",
                                "C:\\n\r\n</script>", "東京\u2028"};
        QJsonArray calls{QJsonArray::fromStringList(QStringList{"Record"} + texts)};
        QVERIFY(script.CallFunction("Record", texts));
        for (const auto& [function, failure] : {std::pair{"NoSuchFunction", "Unknown name."},
                                                std::pair{"Throw", "Exception occurred."}}) {
            script.CallFunction(function, {"x"});
            QVERIFY(script.CallFunction("Record", {function}));
            calls.append(QJsonArray{"Record", function});
            QCOMPARE(
                Eval(page, QString("JSON.stringify(calls.slice(%1))").arg(points + 6)).toString(),
                QJsonDocument(calls).toJson(QJsonDocument::Compact));
            QCOMPARE(script.LastFailure(), QString("JSCall Error:\n") + failure);
        }
        QCOMPARE(Eval(page, "typeof window.pwned").toString(), "undefined");
    }

    void bundledPageDrawsRoute() {
        CMapDlg dlg;
        dlg.resize(640, 420);
        dlg.show();
        CMapBridge bridge;
        bridge.StartMap(&dlg);
        QTRY_VERIFY_WITH_TIMEOUT(bridge.PageLoaded(), 15000);
        QWebEnginePage* page = bridge.View()->page();
        const auto at = [page](const char* what) { return Eval(page, what).toDouble(); };

        const double route[][2] = {{25.0330, 121.5654}, {25.0352, 121.5671}, {25.0370, 121.5702}};
        for (const auto& p : route) bridge.AddPolyLinePoint(p[0], p[1]);
        bridge.DrawPolyLine();
        bridge.Reload(route[0][0], route[0][1], 16);
        const auto tick = [&](double lat, double lng) {
            bridge.MoveTo(lat, lng);
            bridge.RenewCursor(lat, lng);
        };
        tick(route[0][0], route[0][1]);
        QCOMPARE(at("zavoMap.route.getLatLngs().length"), 3.0);
        QCOMPARE(at("document.querySelectorAll('path.leaflet-interactive').length"), 1.0);

        // A playback tick moves the marker and keeps it in the centre.
        tick(route[2][0], route[2][1]);
        const char* place =
            "var v = zavoMap.vehicle.getLatLng(), c = zavoMap.map.getCenter();"
            "[v.lat, v.lng, c.lat.toFixed(4), c.lng.toFixed(4)].join(' ')";
        QCOMPARE(Eval(page, place).toString(), "25.037 121.5702 25.0370 121.5702");

        // A recording without any fix: the route goes, and 0,0 is not shown.
        bridge.DrawPolyLine();
        tick(0, 0);
        QCOMPARE(at("zavoMap.route.getLatLngs().length"), 0.0);
        QCOMPARE(Eval(page, place).toString(), "25.037 121.5702 25.0370 121.5702");

        // Driving events: a marker with its text for each event with a position.
        bridge.ShowEvents({{25.0352, 121.5671, "harsh", 0.523, 95, "12:03:04"},
                           {25.0370, 121.5702, "bump", 1.2, 120, ""},
                           {0, 0, "harsh", 0.8, 130, ""}});
        QCOMPARE(Eval(page, R"(zavoMap.events.getLayers().map(function (m) {
                   return m.getLatLng().lat + ' ' + m.getTooltip().getContent().textContent;
                 }).join('|'))")
                     .toString(),
                 "25.0352 Harsh driving, 0.52 g\n12:03:04 UTC, second 95|"
                 "25.037 Bump, 1.20 g\nsecond 120");
        QCOMPARE(bridge.Document()->Script().LastFailure(), QString());
    }
    void startMap_data() {
        QTest::addColumn<int>("status");  // 0: nothing listens; -1: no connection
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<bool>("configuredUrlTried");  // by the view

        const QStringList noProxy = {"m_InetFlag: 3", "Internet connected!...",
                                     "no proxy detected..."};
        const QStringList proxy = {"m_InetFlag: 3", "Internet connected!...", "proxy detected!!"};
        const QStringList found = {kFound};
        const QStringList notFound = {"connect IP: @URL@!", "Get page error!!",
                                      "Useful IP not found!!", "IP @URL@ is used!"};

        QTest::newRow("no connection") << -1 << kMarker << QStringList{"m_InetFlag: 2"} << false;
        QTest::newRow("the 40 marker bytes") << 200 << kMarker << noProxy + found << true;
        QTest::newRow("leading blank") << 200 << " " + kMarker << noProxy + notFound << false;
        QTest::newRow("401: proxy, tried all the same, our page instead")
            << 401 << QByteArray("login first") << proxy + notFound << true;
        QTest::newRow("unreachable, percent signs in the URL")
            << 0 << QByteArray() << noProxy + notFound.mid(0, 2) + notFound << false;
    }
    void startMap() {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QStringList, messages);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            status_ = status;
            body_ = body.toStdString();
        }
        const QString url = status
                                ? QString("http://127.0.0.1:%1/zavomap.html").arg(http_.Port())
                                : QString("http://127.0.0.1:%1/map%s%d%25.html").arg(UnusedPort());
        fixture_->Write("um_config.ini", "[UM_CONFIG]\r\nDEFAULT_IP_0=" + url.toLatin1() + "\r\n");
        theApp().LoadConfig();
        SetConnectionProbe([status] { return status >= 0; });

        CMapDlg dlg;
        CMapBridge bridge;
        bridge.StartMap(&dlg);
        bridge.StartMap(&dlg);  // discovery runs once

        // Once discovery has ended, the view shows the page it found, else our own.
        const QUrl page(messages.contains(kFound) ? url : "qrc:/map/zavomap.html");
        QTRY_VERIFY_WITH_TIMEOUT(bridge.PageLoaded() && bridge.View()->url() == page, 15000);
        QCOMPARE(HistoryWithoutTimes(*fixture_),
                 ExpectedHistory(QStringList(messages).replaceInStrings("@URL@", url)));
        std::lock_guard<std::mutex> lock(mutex_);
        QTEST(viewRequests_ > 0, "configuredUrlTried");
        QVERIFY(fixture_->messages.isEmpty());
    }

    // Discovery and the view reach the configured server alone: a redirect is followed only
    // within its scheme, host and port (else our own page is shown, which fetches its tiles and
    // nothing else), and nothing a page tries reaches another origin. History.log names what
    // was refused.
    void reachesOnlyItsServer_data() {
        QTest::addColumn<QString>("path");      // of the configured URL
        QTest::addColumn<QString>("location");  // where /moved redirects to
        QTest::addColumn<QString>("attempt");   // run in the page shown
        QTest::addColumn<QString>("logged");    // a History.log line; @TO@ is the location
        QTest::addColumn<QString>("shown");
        const QString refused = "IP @URL@ redirects to @TO@: not followed!";
        const QString blocked = "Map page request to @TO@ blocked!";
        const QString home = "http://@HOME@/zavomap.html", ours = kBundledMapPage;
        const QString away = "http://@OTHER_ADDRESS@/x?lat=25.03";
        QTest::newRow("redirect on the server") << "/moved" << home << "" << kFound << home;
        QTest::newRow("redirect to another port")
            << "/moved"
            << "http://@OTHER_PORT@/zavomap.html"
            << "fetch('" + away + "').catch(String)" << refused << ours;
        QTest::newRow("redirect to another scheme") << "/moved"
                                                    << "https://@HOME@/zavomap.html"
                                                    << "" << refused << ours;
        QTest::newRow("the view alone redirected") << "/view-moved"
                                                   << "http://@OTHER_ADDRESS@/zavomap.html"
                                                   << "" << blocked << ours;
        QTest::newRow("fetch") << "/zavomap.html" << away
                               << "fetch('@TO@', {mode: 'no-cors'}).catch(String)" << blocked
                               << home;
        QTest::newRow("redirected fetch")
            << "/zavomap.html"
            << "http://@OTHER_PORT@/x"
            << "fetch('/moved', {mode: 'no-cors'}).catch(String)" << blocked << home;
        QTest::newRow("web socket") << "/zavomap.html"
                                    << "ws://@OTHER_PORT@/x"
                                    << "new WebSocket('@TO@')" << blocked << home;
        QTest::newRow("frame") << "/zavomap.html" << away
                               << "var f = document.createElement('iframe'); f.src = '@TO@';"
                                  "document.body.appendChild(f)"
                               << blocked << home;
        QTest::newRow("navigation")
            << "/zavomap.html" << away << "location.href = '@TO@'" << blocked << home;
    }
    void reachesOnlyItsServer() {
        QFETCH(QString, path);
        QFETCH(QString, location);
        QFETCH(QString, attempt);
        QFETCH(QString, logged);
        QFETCH(QString, shown);
        location = Bases(location);
        shown = Bases(shown);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            location_ = location.toStdString();
        }
        const QString url = Configure(
            path, Bases("TILE_URL=http://@OTHER_ADDRESS@/tiles/{z}/{x}/{y}.png\r\n").toLatin1());
        SetConnectionProbe([] { return true; });
        CMapDlg dlg;
        dlg.resize(640, 420);
        dlg.show();
        CMapBridge bridge;
        bridge.StartMap(&dlg);
        const auto page = [&] { return bridge.View()->url().adjusted(QUrl::RemoveQuery); };
        QTRY_VERIFY_WITH_TIMEOUT(bridge.PageLoaded() && page() == QUrl(shown), 15000);
        if (shown == kBundledMapPage)
            QTRY_VERIFY_WITH_TIMEOUT(tiles_ > 0, 10000);
        Eval(bridge.View()->page(), Bases(attempt).replace("@TO@", location) + "; 0");
        QTest::qWait(300);  // what got out would have arrived by now
        QCOMPARE(page(), QUrl(shown));
        QCOMPARE(elsewhere_.load(), 0);
        logged.replace("@URL@", url).replace("@TO@", location);
        QVERIFY2(HistoryWithoutTimes(*fixture_).contains("\t" + logged.toLatin1() + "\r\n"),
                 qPrintable(logged));
    }

    // While discovery waits on a server that never answers, the window goes on answering; closing
    // it then neither crashes nor waits for the fetch to time out, and logs no outcome.
    void answersDuringDiscovery() {
        int port = 0;
        const int silent = ListeningSocket(&port);  // connections are made, never answered
        QVERIFY(silent >= 0);
        theApp().mapUrls[0] = "http://127.0.0.1:" + std::to_string(port) + "/zavomap.html";
        SetConnectionProbe([] { return true; });
        CMapDlg dlg;
        auto bridge = std::make_unique<CMapBridge>();
        bool ticked = false;
        QTimer::singleShot(50, [&ticked] { ticked = true; });
        bridge->StartMap(&dlg);
        QTRY_VERIFY(ticked);
        QVERIFY(bridge->View()->url().isEmpty());  // discovery has not ended
        bridge.reset();
        close(silent);
        QCOMPARE(HistoryWithoutTimes(*fixture_),
                 ExpectedHistory({"m_InetFlag: 3", "Internet connected!..."}));
    }
};

QTEST_MAIN(TestMapPage)
#include "test_map_page.moc"
