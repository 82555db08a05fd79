// Script calls into pages in the real browser engine, the map window, and our own map page.

#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "app/app_state.h"
#include "loopback.h"
#include "map/js_call_doc.h"
#include "map/js_call_view.h"
#include "map/map_bridge.h"
#include "map/map_dlg.h"
#include "web_support.h"

namespace {
// Every map function and a few more, each recording its call with its arguments, and how many
// script evaluations the calls came in (a microtask runs once an evaluation has ended).
const char kRecorderPage[] = R"(<!-- This is Zavo right reserved map -->
<html><body><script>
window.calls = [];
window.evaluations = 0;
var evaluating = false;
['Reload', 'AddPolyLinePoint', 'DrawPolyLine', 'MoveTo', 'MapResize', 'RenewCursor', 'Record']
  .forEach(function (n) {
    window[n] = function () {
      if (!evaluating) {
        evaluating = true;
        ++evaluations;
        Promise.resolve().then(function () { evaluating = false; });
      }
      calls.push([n].concat(Array.prototype.slice.call(arguments)));
    };
  });
window.Throw = function () { throw new Error('boom'); };
</script></body></html>)";

QString Calls(QWebEnginePage* page) {
    return Eval(page, "JSON.stringify(window.calls)").toString();
}

struct RecorderPage {
    CJSCallDoc doc;
    CJSCallView view;

    bool Load() {
        view.SetDocument(&doc);
        view.setHtml(QString::fromUtf8(kRecorderPage));
        return WaitFor([this] { return doc.Script().HasDocument(); }, 15000);
    }
};
}  // namespace

class TestMapPage : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> tmp_;
    LoopbackHttpServer http_;
    // A map window's bridge after discovery found the recorder page; until the page has
    // completed, resizing the map calls nothing and shows nothing.
    bool StartWithRecorder(CMapBridge& bridge, CMapDlg& window) {
        MessageRecorder messages;
        theApp().mapUrls[0] = http_.Url("/zavomap.html");
        SetConnectionProbe([] { return true; });
        bridge.ResizeMap();  // no document yet
        bridge.StartMap(&window);
        bridge.ResizeMap();
        return WaitFor([&] { return bridge.PageLoaded(); }, 15000) && messages.texts.empty();
    }

private slots:
    void initTestCase() {
        http_.server.Get("/zavomap.html", [](const httplib::Request&, httplib::Response& r) {
            r.set_content(kRecorderPage, "text/html");
        });
        http_.Start();
        QVERIFY(http_.Port() > 0);
    }

    void init() {
        tmp_ = std::make_unique<QTemporaryDir>();
        theApp() = CVantrailApp{};
        theApp().moduleDir = tmp_->path().toStdString();
        SetConnectionProbe([] { return false; });
    }
    void cleanup() {
        SetConnectionProbe({});
        theApp() = CVantrailApp{};
    }

    void failuresWithoutPage() {
        MessageRecorder messages;
        CPageScript script;
        QVERIFY(!script.SetDocument(nullptr));
        QCOMPARE(script.LastFailure(), "JSCall Error:\nNULL pointer");
        QVERIFY(!script.CallFunction("Reload", {"1", "2", "16"}));
        QCOMPARE(script.LastFailure(), "JSCall Error:\nCannot GetScript");
        QCOMPARE(messages.texts, std::vector<std::string>{"Web server cannot connected!"});
    }

    // A failing call loses only itself; the texts reach the page as they are.
    void callFunction_data() {
        QTest::addColumn<QString>("function");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QString>("failure");
        QTest::newRow("three texts in order")
            << "Record" << QStringList{"24.123456", "121.500000", "16"} << "";
        QTest::newRow("quotes, line ends, tag, non-ASCII")
            << "Record"
            << QStringList{"\"); window.pwned = 1; (\"", "'); window.pwned = 1; ('",
                           "C:\\n\r\n</script>", "東京\u2028"}
            << "";
        QTest::newRow("missing function")
            << "NoSuchFunction" << QStringList{"x"} << "Unknown name.";
        QTest::newRow("function that throws")
            << "Throw" << QStringList{"x"} << "Exception occurred.";
    }
    void callFunction() {
        QFETCH(QString, function);
        QFETCH(QStringList, texts);
        QFETCH(QString, failure);
        RecorderPage page;
        QVERIFY(page.Load());
        CPageScript& script = page.doc.Script();
        QVERIFY(script.CallFunction("Record", {"before"}));
        QVERIFY(script.CallFunction(function, texts) || !failure.isEmpty());
        QVERIFY(script.CallFunction("Record", {"after"}));
        QJsonArray calls{QJsonArray{"Record", "before"}, QJsonArray{"Record", "after"}};
        if (failure.isEmpty())
            calls.insert(1, QJsonArray::fromStringList(QStringList{function} + texts));
        QCOMPARE(Calls(page.view.page()), QJsonDocument(calls).toJson(QJsonDocument::Compact));
        QCOMPARE(script.LastFailure(), failure.isEmpty() ? "" : "JSCall Error:\n" + failure);
        QCOMPARE(Eval(page.view.page(), "typeof window.pwned").toString(), "undefined");
    }

    // Every wrapper's texts, in the order the calls were made.
    void wrapperTexts() {
        CMapDlg dlg;
        CMapBridge bridge;
        QVERIFY(StartWithRecorder(bridge, dlg));
        bridge.Reload(24.123456, 121.5, 16);
        bridge.AddPolyLinePoint(-33.5, -70.25);
        bridge.DrawPolyLine();
        bridge.MoveTo(0.0, 0.0);
        bridge.RenewCursor(25.0, -121.1234567);
        bridge.MapResize(300, 200);
        // Functions of our own page only: a page without them gets no call and no failure.
        bridge.ShowEvents({{1.5, 2.5, "bump", 1.0, 3, "12:00:00"}});
        bridge.ShowTripRoutes({{{1.5, 2.5}}}, 0);
        QCOMPARE(Calls(bridge.View()->page()),
                 R"([["Reload","24.123456","121.500000","16"],)"
                 R"(["AddPolyLinePoint","-33.500000","-70.250000"],["DrawPolyLine"],)"
                 R"(["MoveTo","0.000000","0.000000"],)"
                 R"(["RenewCursor","25.000000","-121.123457"],["MapResize","300","200"]])");
        QCOMPARE(bridge.Document()->Script().LastFailure(), QString());
    }

    // A long route: every point reaches the page, in order, a batch of calls per evaluation.
    void longRouteInBatches() {
        CMapDlg dlg;
        CMapBridge bridge;
        QVERIFY(StartWithRecorder(bridge, dlg));
        const int points = 3 * CPageScript::kBatchCalls + 7;
        for (int i = 1; i <= points; ++i) bridge.AddPolyLinePoint(i / 1000.0, -(i / 1000.0));
        bridge.DrawPolyLine();
        QWebEnginePage* page = bridge.View()->page();
        QCOMPARE(Eval(page, "calls.length").toInt(), points + 1);
        QCOMPARE(Eval(page, R"(calls.every(function (c, i) {
                   if (i === calls.length - 1) return c.length === 1 && c[0] === 'DrawPolyLine';
                   var at = (i + 1) / 1000;
                   return c.length === 3 && c[0] === 'AddPolyLinePoint' &&
                          c[1] === at.toFixed(6) && c[2] === (-at).toFixed(6);
                 }))")
                     .toBool(),
                 true);
        QCOMPARE(Eval(page, "evaluations").toInt(),
                 (points + 1 + CPageScript::kBatchCalls - 1) / CPageScript::kBatchCalls);
    }

    void resizeMap_data() {
        QTest::addColumn<QSize>("viewSize");
        QTest::addColumn<QString>("expected");
        QTest::newRow("smallest") << QSize(31, 21) << R"([["MapResize","1","1"]])";
        QTest::newRow("30 wide") << QSize(30, 220) << "[]";
        QTest::newRow("20 high") << QSize(330, 20) << "[]";
    }
    void resizeMap() {
        QFETCH(QSize, viewSize);
        QFETCH(QString, expected);
        CMapDlg dlg;
        CMapBridge bridge;
        QVERIFY(StartWithRecorder(bridge, dlg));
        bridge.View()->resize(viewSize);
        bridge.ResizeMap();
        QCOMPARE(Calls(bridge.View()->page()), expected);
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
        bridge.MoveTo(route[0][0], route[0][1]);
        bridge.RenewCursor(route[0][0], route[0][1]);
        QCOMPARE(at("zavoMap.route.getLatLngs().length"), 3.0);
        QCOMPARE(at("document.querySelectorAll('path.leaflet-interactive').length"), 1.0);

        // A playback tick moves the marker and keeps it in the centre.
        bridge.MoveTo(route[2][0], route[2][1]);
        bridge.RenewCursor(route[2][0], route[2][1]);
        QCOMPARE(at("zavoMap.vehicle.getLatLng().lat"), route[2][0]);
        QCOMPARE(at("zavoMap.vehicle.getLatLng().lng"), route[2][1]);
        QVERIFY(qAbs(at("zavoMap.map.getCenter().lat") - route[2][0]) < 1e-4);
        QVERIFY(qAbs(at("zavoMap.map.getCenter().lng") - route[2][1]) < 1e-4);

        // A recording without any fix: the route goes, and 0,0 is not shown.
        bridge.DrawPolyLine();
        bridge.MoveTo(0, 0);
        bridge.RenewCursor(0, 0);
        QCOMPARE(at("zavoMap.route.getLatLngs().length"), 0.0);
        QCOMPARE(at("zavoMap.vehicle.getLatLng().lat"), route[2][0]);
        QCOMPARE(bridge.Document()->Script().LastFailure(), QString());

        // Driving events: a marker of its kind and its text for each event with a position.
        bridge.ShowEvents({{25.0352, 121.5671, "harsh", 0.523, 95, "12:03:04"},
                           {25.0370, 121.5702, "bump", 1.2, 120, ""},
                           {0, 0, "harsh", 0.8, 130, ""}});
        QCOMPARE(at("document.querySelectorAll('.event-harsh').length"), 1.0);
        QCOMPARE(at("document.querySelectorAll('.event-bump').length"), 1.0);
        QCOMPARE(Eval(page, R"(zavoMap.events.getLayers().map(function (m) {
                   return m.getLatLng().lat + ' ' + m.getTooltip().getContent().textContent;
                 }).join('|'))")
                     .toString(),
                 "25.0352 Harsh driving, 0.52 g\n12:03:04 UTC, second 95|"
                 "25.037 Bump, 1.20 g\nsecond 120");

        // The whole trip: every route drawn, the current one thicker and brighter.
        bridge.ShowTripRoutes({{{25.0, 121.5}, {25.01, 121.51}},
                               {{25.02, 121.52}, {25.03, 121.53}, {25.04, 121.54}},
                               {{25.05, 121.55}, {25.06, 121.56}}},
                              1);
        QCOMPARE(Eval(page, R"([].map.call(document.querySelectorAll('.leaflet-trip-pane path'),
                   function (p) {
                     var s = getComputedStyle(p);
                     return [parseFloat(p.getAttribute('stroke-width')), parseFloat(s.strokeOpacity)];
                   }).every(function (w, i, all) {
                     return all.length === 3 && (i === 1 || (w[0] < all[1][0] && w[1] < all[1][1]));
                   }))")
                     .toBool(),
                 true);
        QCOMPARE(bridge.Document()->Script().LastFailure(), QString());

        // Without a tile source the page draws a grid and fetches nothing.
        QTest::qWait(300);
        QCOMPARE(at("document.querySelectorAll('img.leaflet-tile').length"), 0.0);
    }
};

QTEST_MAIN(TestMapPage)
#include "test_map_page.moc"
