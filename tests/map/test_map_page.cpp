// Script calls into pages in the real browser engine, the map window, and our own map page.

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <memory>

#include "app/app_state.h"
#include "loopback.h"
#include "map/browser_engine.h"
#include "map/js_call_doc.h"
#include "map/js_call_view.h"
#include "map/map_bridge.h"
#include "map/map_dlg.h"
#include "skin/dialog_template.h"
#include "web_support.h"

namespace {
// Every map function and a few more, each recording its call with its arguments.
const char kRecorderPage[] = R"(<!-- This is Zavo right reserved map -->
<html><body><script>
window.calls = [];
function recorder(name) {
  return function () { window.calls.push([name].concat(Array.prototype.slice.call(arguments))); };
}
['Reload', 'AddPolyLinePoint', 'DrawPolyLine', 'MoveTo', 'MapResize', 'RenewCursor', 'Record']
  .forEach(function (n) { window[n] = recorder(n); });
window.Throw = function () { throw new Error('boom'); };
window.Answer = function (a) { return 'got ' + a; };
</script></body></html>)";

QString Calls(QWebEnginePage* page) {
    return Eval(page, "JSON.stringify(window.calls)").toString();
}

QString Json(const QJsonArray& calls) {
    return QString::fromUtf8(QJsonDocument(calls).toJson(QJsonDocument::Compact));
}

// A document and its view holding the recorder page.
struct RecorderPage {
    CJSCallDoc doc;
    CJSCallView view;

    bool Load() {
        view.SetDocument(&doc);
        view.setHtml(QString::fromUtf8(kRecorderPage));
        return WaitFor([this] { return doc.Script().HasDocument(); }, 15000);
    }
};

double Number(QWebEnginePage* page, const QString& script) {
    return Eval(page, script).toDouble();
}
}  // namespace

class TestMapPage : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> tmp_;
    LoopbackHttpServer http_;
    std::atomic<int> tileRequests_{0};
    QByteArray tilePng_;

    void WriteConfig(const QByteArray& text) {
        QFile file(QString::fromStdString(theApp().ModuleFile("um_config.ini")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    // A map window with discovery run on it; the page is the recorder page when connected.
    bool StartWithRecorder(CMapBridge& bridge) {
        theApp().mapUrls[0] = http_.Url("/zavomap.html");
        SetConnectionProbe([] { return true; });
        bridge.StartMap();
        return WaitFor([&] { return bridge.PageLoaded(); }, 15000);
    }

private slots:
    void initTestCase() {
        QImage tile(256, 256, QImage::Format_RGB32);
        tile.fill(QColor(120, 180, 120));
        QBuffer png(&tilePng_);
        png.open(QIODevice::WriteOnly);
        tile.save(&png, "PNG");
        http_.server.Get("/zavomap.html", [](const httplib::Request&, httplib::Response& r) {
            r.set_content(kRecorderPage, "text/html");
        });
        http_.server.Get("/tiles/.*", [this](const httplib::Request&, httplib::Response& r) {
            ++tileRequests_;
            r.set_content(tilePng_.toStdString(), "image/png");
        });
        http_.Start();
        QVERIFY(http_.Port() > 0);
    }
    void cleanupTestCase() { http_.Stop(); }

    void init() {
        tmp_ = std::make_unique<QTemporaryDir>();
        QVERIFY(tmp_->isValid());
        theApp() = CVantrailApp{};
        theApp().moduleDir = tmp_->path().toStdString();
        SetConnectionProbe([] { return false; });
    }
    void cleanup() {
        SetConnectionProbe({});
        theApp() = CVantrailApp{};
        tmp_.reset();
    }

    void prepareBrowserEngine_data() {
        QTest::addColumn<QByteArray>("given");
        QTest::addColumn<QByteArray>("flags");
        const QByteArray quiet =
            "--disable-background-networking --disable-component-update --disable-sync "
            "--no-first-run";
        QTest::newRow("none given") << QByteArray() << quiet;
        QTest::newRow("others kept") << QByteArray("--disable-gpu") << "--disable-gpu " + quiet;
        QTest::newRow("no flag twice")
            << QByteArray("--disable-sync --disable-gpu")
            << QByteArray(
                   "--disable-sync --disable-gpu --disable-background-networking "
                   "--disable-component-update --no-first-run");
    }
    void prepareBrowserEngine() {
        QFETCH(QByteArray, given);
        QFETCH(QByteArray, flags);
        // The engine of this process reads its settings once; these tests must not change them.
        const QByteArray before = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", given);
        PrepareBrowserEngine();
        const QByteArray after = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", before);
        QCOMPARE(after, flags);
    }

    void pageScriptFailures_data() {
        QTest::addColumn<QString>("step");
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QString>("message");
        QTest::newRow("null document") << "null"
                                       << "JSCall Error:\nNULL pointer"
                                       << "";
        QTest::newRow("not a page") << "object"
                                    << "JSCall Error:\nFailed to get HTML document COM object"
                                    << "";
        QTest::newRow("call with no page held") << "call"
                                                << "JSCall Error:\nCannot GetScript"
                                                << "Web server cannot connected!";
    }
    void pageScriptFailures() {
        QFETCH(QString, step);
        QFETCH(QString, failure);
        QFETCH(QString, message);
        MessageRecorder messages;
        CPageScript script;
        QObject notAPage;
        bool result = true;
        if (step == "null")
            result = script.SetDocument(nullptr);
        else if (step == "object")
            result = script.SetDocument(&notAPage);
        else
            result = script.CallFunction("Reload", {"1", "2", "16"});
        QVERIFY(!result);
        QVERIFY(!script.HasDocument());
        QCOMPARE(script.LastFailure(), failure);
        QCOMPARE(messages.texts.size(), message.isEmpty() ? size_t(0) : size_t(1));
        if (!message.isEmpty())
            QCOMPARE(QString::fromStdString(messages.texts.front()), message);
    }

    void callFunctionTexts_data() {
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("three texts in order") << QStringList{"24.123456", "121.500000", "16"};
        QTest::newRow("no text") << QStringList{};
        QTest::newRow("empty text") << QStringList{""};
        QTest::newRow("quotes that would end a script string")
            << QStringList{"\"); window.pwned = 1; (\"", "'); window.pwned = 1; ('"};
        QTest::newRow("backslashes, line ends, tag")
            << QStringList{"C:\\path\\n", "line\nbreak\r\n", "</script><b>"};
        QTest::newRow("non-ASCII") << QStringList{"Zürich", "東京", "\u2028sep"};
    }
    void callFunctionTexts() {
        QFETCH(QStringList, texts);
        RecorderPage page;
        QVERIFY(page.Load());
        QVERIFY(page.doc.Script().CallFunction("Record", texts));
        QJsonArray call{"Record"};
        for (const QString& t : texts) call.append(t);
        QCOMPARE(Calls(page.view.page()), Json(QJsonArray{call}));
        QCOMPARE(Eval(page.view.page(), "typeof window.pwned").toString(), "undefined");
        QCOMPARE(page.doc.Script().LastFailure(), QString());
    }

    void failingCallLosesOnlyItself_data() {
        QTest::addColumn<QString>("function");
        QTest::addColumn<QString>("failure");
        QTest::newRow("missing function") << "NoSuchFunction"
                                          << "JSCall Error:\nUnknown name.";
        QTest::newRow("not a function") << "calls"
                                        << "JSCall Error:\nUnknown name.";
        QTest::newRow("function that throws") << "Throw"
                                              << "JSCall Error:\nException occurred.";
    }
    void failingCallLosesOnlyItself() {
        QFETCH(QString, function);
        QFETCH(QString, failure);
        RecorderPage page;
        QVERIFY(page.Load());
        QVERIFY(page.doc.Script().CallFunction("Record", {"before"}));
        page.doc.Script().CallFunction(function, {"x"});
        QVERIFY(page.doc.Script().CallFunction("Record", {"after"}));
        QCOMPARE(Calls(page.view.page()), R"([["Record","before"],["Record","after"]])");
        QCOMPARE(page.doc.Script().LastFailure(), failure);
    }

    void callsStayInOrder() {
        RecorderPage page;
        QVERIFY(page.Load());
        QJsonArray expected;
        for (int i = 0; i < 60; ++i) {
            const QString name = i % 3 == 0 ? "MoveTo" : "RenewCursor";
            page.doc.CallScript(name, {QString::number(i)});
            expected.append(QJsonArray{name, QString::number(i)});
        }
        QCOMPARE(Calls(page.view.page()), Json(expected));
    }

    void failedLoadHoldsNoDocument() {
        CJSCallDoc doc;
        CJSCallView view;
        view.SetDocument(&doc);
        QSignalSpy finished(&view, &QWebEngineView::loadFinished);
        view.Navigate(QUrl(QString("http://127.0.0.1:%1/zavomap.html").arg(UnusedPort())));
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 15000);
        QCOMPARE(finished.front().front().toBool(), false);
        QVERIFY(!doc.Script().HasDocument());
    }

    void wrapperTexts_data() {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("expected");
        QTest::newRow("Reload") << "Reload"
                                << R"([["Reload","24.123456","121.500000","16"]])";
        QTest::newRow("AddPolyLinePoint, south and west")
            << "AddPolyLinePoint"
            << R"([["AddPolyLinePoint","-33.500000","-70.250000"]])";
        QTest::newRow("DrawPolyLine") << "DrawPolyLine"
                                      << R"([["DrawPolyLine"]])";
        QTest::newRow("MoveTo, empty position") << "MoveTo"
                                                << R"([["MoveTo","0.000000","0.000000"]])";
        QTest::newRow("RenewCursor, rounded") << "RenewCursor"
                                              << R"([["RenewCursor","25.000000","-121.123457"]])";
        QTest::newRow("MapResize") << "MapResize"
                                   << R"([["MapResize","300","200"]])";
    }
    void wrapperTexts() {
        QFETCH(QString, call);
        QFETCH(QString, expected);
        CMapDlg dlg;
        CMapBridge bridge;
        QVERIFY(StartWithRecorder(bridge));
        if (call == "Reload")
            bridge.Reload(24.123456, 121.5, 16);
        else if (call == "AddPolyLinePoint")
            bridge.AddPolyLinePoint(-33.5, -70.25);
        else if (call == "DrawPolyLine")
            bridge.DrawPolyLine();
        else if (call == "MoveTo")
            bridge.MoveTo(0.0, 0.0);
        else if (call == "RenewCursor")
            bridge.RenewCursor(25.0, -121.1234567);
        else
            bridge.MapResize(300, 200);
        QCOMPARE(Calls(bridge.View()->page()), expected);
    }

    void resizeMap_data() {
        QTest::addColumn<QSize>("viewSize");
        QTest::addColumn<QString>("expected");
        QTest::newRow("room for the page") << QSize(330, 220) << R"([["MapResize","300","200"]])";
        QTest::newRow("smallest") << QSize(31, 21) << R"([["MapResize","1","1"]])";
        QTest::newRow("30 wide") << QSize(30, 220) << "[]";
        QTest::newRow("20 high") << QSize(330, 20) << "[]";
    }
    void resizeMap() {
        QFETCH(QSize, viewSize);
        QFETCH(QString, expected);
        CMapDlg dlg;
        CMapBridge bridge;
        QVERIFY(StartWithRecorder(bridge));
        bridge.View()->resize(viewSize);
        bridge.ResizeMap();
        QCOMPARE(Calls(bridge.View()->page()), expected);
    }

    // Before the page completes, nothing may call it and nothing is shown.
    void nothingBeforePageCompletes() {
        MessageRecorder messages;
        CMapDlg dlg;
        CMapBridge bridge;
        QVERIFY(!bridge.PageLoaded());
        bridge.ResizeMap();  // no document yet: no call
        bridge.StartMap();
        QVERIFY(!bridge.PageLoaded());
        bridge.ResizeMap();
        QTRY_VERIFY_WITH_TIMEOUT(bridge.PageLoaded(), 15000);
        QVERIFY(messages.texts.empty());
        QCOMPARE(bridge.Document()->Script().LastFailure(), QString());
    }

    void mapWindowStartsMapOnce_data() {
        QTest::addColumn<bool>("withForm");
        QTest::newRow("control form known") << true;
        QTest::newRow("no control form") << false;
    }
    void mapWindowStartsMapOnce() {
        QFETCH(bool, withForm);
        FakeControlForm form;
        if (withForm)
            theApp().controlForm = &form;
        CMapDlg dlg;
        QCOMPARE(theApp().mapWindow, &dlg);
        const QRect place = GetDlgItem(&dlg, CMapDlg::kMapControlId)->geometry();
        QVERIFY(dlg.StartTimerActive());
        QCOMPARE(form.startCalls, 0);
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.StartTimerActive(), 3000);
        QTest::qWait(1200);  // two more periods: the timer stays dead
        QCOMPARE(form.startCalls, withForm ? 1 : 0);
        QWidget* control = GetDlgItem(&dlg, CMapDlg::kMapControlId);
        QCOMPARE(control->geometry(), place);
        if (!withForm) {
            QVERIFY(qobject_cast<QLabel*>(control) != nullptr);
            return;
        }
        QCOMPARE(control, form.bridge.View());
        QTRY_VERIFY_WITH_TIMEOUT(form.bridge.PageLoaded(), 15000);
        theApp().controlForm = nullptr;
    }

    void mapWindowLayout_data() {
        QTest::addColumn<QSize>("size");
        QTest::newRow("larger") << QSize(900, 640);
        QTest::newRow("smaller") << QSize(300, 200);
        QTest::newRow("wide and low") << QSize(1200, 150);
    }
    void mapWindowLayout() {
        QFETCH(QSize, size);
        FakeControlForm form;
        theApp().controlForm = &form;
        CMapDlg dlg;
        dlg.show();  // a hidden window gets its resize events only when shown
        const QSize before = dlg.size();
        const QRect map = GetDlgItem(&dlg, CMapDlg::kMapControlId)->geometry();
        const QRect frame = GetDlgItem(&dlg, CMapDlg::kFrameId)->geometry();
        const int calls = form.resizeCalls;
        dlg.resize(size);
        QCOMPARE(form.resizeCalls, calls + 1);
        for (const auto& [id, was] :
             {std::pair{CMapDlg::kMapControlId, map}, std::pair{CMapDlg::kFrameId, frame}}) {
            const QRect now = GetDlgItem(&dlg, id)->geometry();
            QCOMPARE(now.topLeft(), was.topLeft());
            QCOMPARE(size.width() - now.right(), before.width() - was.right());
            QCOMPARE(size.height() - now.bottom(), before.height() - was.bottom());
        }
        theApp().controlForm = nullptr;
    }

    void bundledPageDrawsRoute() {
        CMapDlg dlg;
        dlg.resize(640, 420);
        dlg.show();
        CMapBridge bridge;
        bridge.StartMap();
        QTRY_VERIFY_WITH_TIMEOUT(bridge.PageLoaded(), 15000);
        QWebEnginePage* page = bridge.View()->page();
        QCOMPARE(page->url().path(), QString("/map/zavomap.html"));

        const double route[][2] = {{25.0330, 121.5654},
                                   {25.0340, 121.5660},
                                   {25.0352, 121.5671},
                                   {25.0361, 121.5690},
                                   {25.0370, 121.5702}};
        for (const auto& p : route) bridge.AddPolyLinePoint(p[0], p[1]);
        bridge.DrawPolyLine();
        bridge.Reload(route[0][0], route[0][1], 16);
        bridge.MoveTo(route[0][0], route[0][1]);
        bridge.RenewCursor(route[0][0], route[0][1]);
        QCOMPARE(Eval(page, "zavoMap.route.getLatLngs().length").toInt(), 5);
        QCOMPARE(Eval(page, "zavoMap.map.getZoom()").toInt(), 16);
        QCOMPARE(Eval(page, "zavoMap.map.hasLayer(zavoMap.vehicle)").toBool(), true);
        QCOMPARE(Number(page, "zavoMap.vehicle.getLatLng().lat"), route[0][0]);
        QCOMPARE(Number(page, "zavoMap.vehicle.getLatLng().lng"), route[0][1]);
        QCOMPARE(Eval(page, "document.querySelectorAll('path.leaflet-interactive').length").toInt(),
                 1);

        // A playback tick moves the marker and keeps it in the centre.
        bridge.MoveTo(route[3][0], route[3][1]);
        bridge.RenewCursor(route[3][0], route[3][1]);
        QCOMPARE(Number(page, "zavoMap.vehicle.getLatLng().lat"), route[3][0]);
        QCOMPARE(Number(page, "zavoMap.vehicle.getLatLng().lng"), route[3][1]);
        QVERIFY(qAbs(Number(page, "zavoMap.map.getCenter().lat") - route[3][0]) < 1e-4);
        QVERIFY(qAbs(Number(page, "zavoMap.map.getCenter().lng") - route[3][1]) < 1e-4);

        // The next recording's route replaces this one.
        bridge.AddPolyLinePoint(-33.4489, -70.6693);
        bridge.AddPolyLinePoint(-33.4500, -70.6700);
        bridge.DrawPolyLine();
        QCOMPARE(Eval(page, "zavoMap.route.getLatLngs().length").toInt(), 2);

        // A recording without any fix: no route, and a first position of 0,0 is not shown.
        bridge.DrawPolyLine();
        bridge.Reload(0, 0, 16);
        bridge.MoveTo(0, 0);
        bridge.RenewCursor(0, 0);
        QCOMPARE(Eval(page, "zavoMap.route.getLatLngs().length").toInt(), 0);
        QCOMPARE(Number(page, "zavoMap.vehicle.getLatLng().lat"), route[3][0]);
        QCOMPARE(bridge.Document()->Script().LastFailure(), QString());

        // The page follows the size of the view.
        bridge.View()->resize(400, 300);
        bridge.MapResize(370, 280);
        QTRY_COMPARE_WITH_TIMEOUT(Eval(page, "zavoMap.map.getSize().x").toInt(), 400, 10000);
    }

    void bundledPageTiles_data() {
        QTest::addColumn<bool>("tileSource");
        QTest::newRow("no tile source: grid") << false;
        QTest::newRow("loopback tile source") << true;
    }
    void bundledPageTiles() {
        QFETCH(bool, tileSource);
        if (tileSource)
            WriteConfig(QString("[UM_CONFIG]\nTILE_URL=http://127.0.0.1:%1/tiles/{z}/{x}/{y}.png\n")
                            .arg(http_.Port())
                            .toLatin1());
        tileRequests_ = 0;
        CMapDlg dlg;
        dlg.resize(640, 420);
        dlg.show();
        CMapBridge bridge;
        bridge.StartMap();
        QTRY_VERIFY_WITH_TIMEOUT(bridge.PageLoaded(), 15000);
        QWebEnginePage* page = bridge.View()->page();
        bridge.AddPolyLinePoint(25.0330, 121.5654);
        bridge.AddPolyLinePoint(25.0370, 121.5702);
        bridge.DrawPolyLine();
        bridge.Reload(25.0330, 121.5654, 16);
        QTRY_VERIFY_WITH_TIMEOUT(
            Eval(page, "document.querySelectorAll('canvas').length").toInt() > 0, 10000);
        QCOMPARE(Eval(page, "zavoMap.route.getLatLngs().length").toInt(), 2);
        if (tileSource) {
            QTRY_VERIFY_WITH_TIMEOUT(tileRequests_ > 0, 10000);
            QTRY_VERIFY_WITH_TIMEOUT(
                Eval(page, "document.querySelectorAll('img.leaflet-tile-loaded').length").toInt() >
                    0,
                10000);
        } else {
            QTest::qWait(300);
            QCOMPARE(Eval(page, "document.querySelectorAll('img.leaflet-tile').length").toInt(), 0);
            QCOMPARE(int(tileRequests_), 0);
        }
    }
};

QTEST_MAIN(TestMapPage)
#include "test_map_page.moc"
