// Map server discovery against loopback servers: the history log of each outcome and the page
// the map view is sent to.

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <memory>
#include <mutex>

#include "app/app_state.h"
#include "app/history_log.h"
#include "loopback.h"
#include "map/js_call_view.h"
#include "map/map_bridge.h"
#include "map/map_dlg.h"
#include "skin/dialog_template.h"
#include "web_support.h"

namespace {
const QByteArray kMarker = kMapPageMarker;

const QStringList kNotFound = {"connect IP: @URL@!", "Get page error!!", "Useful IP not found!!",
                               "IP @URL@ is used!"};
const QStringList kUnreachable = {"connect IP: @URL@!",    "Get page error!!",
                                  "connect IP: @URL@!",    "Get page error!!",
                                  "Useful IP not found!!", "IP @URL@ is used!"};

QByteArray BundledPageBytes() {
    QFile page(":/map/zavomap.html");
    return page.open(QIODevice::ReadOnly) ? page.readAll() : QByteArray();
}
}  // namespace

class TestMapDiscovery : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> tmp_;
    LoopbackHttpServer http_;
    std::mutex mutex_;
    int status_ = 200;
    std::string body_;
    std::atomic<int> requests_{0};

    QString HistoryPath() const {
        return QString::fromStdString(theApp().ModuleFile("History.log"));
    }

private slots:
    void initTestCase() {
        http_.server.Get("/zavomap.html", [this](const httplib::Request&, httplib::Response& r) {
            ++requests_;
            std::lock_guard<std::mutex> lock(mutex_);
            r.status = status_;
            r.set_content(body_, "text/html");
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
        requests_ = 0;
    }
    void cleanup() {
        SetConnectionProbe({});
        theApp() = CVantrailApp{};
        tmp_.reset();
    }

    void startMap_data() {
        QTest::addColumn<QString>("server");  // serve, unreachable, none (no connection)
        QTest::addColumn<QString>("urlPattern");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<bool>("showsConfiguredUrl");

        const QStringList connected = {"m_InetFlag: 3", "Internet connected!..."};
        const QStringList noProxy = connected + QStringList{"no proxy detected..."};
        const QStringList proxy = connected + QStringList{"proxy detected!!"};
        const QStringList found = {"IP @URL@ is responsible!"};
        const QString page = "http://127.0.0.1:@PORT@/zavomap.html";

        QTest::newRow("no connection: no fetch")
            << "none" << page << 200 << kMarker << QStringList{"m_InetFlag: 2"} << false;
        QTest::newRow("marker, then HTML")
            << "serve" << page << 200 << kMarker + "\n<html><body>map</body></html>"
            << noProxy + found << true;
        QTest::newRow("URL without scheme")
            << "serve"
            << "127.0.0.1:@PORT@/zavomap.html" << 200 << kMarker << noProxy + found << true;
        QTest::newRow("exactly the 40 marker bytes")
            << "serve" << page << 200 << kMarker << noProxy + found << true;
        QTest::newRow("our own page")
            << "serve" << page << 200 << BundledPageBytes() << noProxy + found << true;
        QTest::newRow("leading blank")
            << "serve" << page << 200 << " " + kMarker << noProxy + kNotFound << false;
        QTest::newRow("other letter case")
            << "serve" << page << 200 << kMarker.toUpper() << noProxy + kNotFound << false;
        QTest::newRow("byte-order mark")
            << "serve" << page << 200 << "\xEF\xBB\xBF" + kMarker << noProxy + kNotFound << false;
        QTest::newRow("39 bytes of the marker")
            << "serve" << page << 200 << kMarker.left(39) << noProxy + kNotFound << false;
        QTest::newRow("no marker") << "serve" << page << 200 << QByteArray("<html>camera</html>")
                                   << noProxy + kNotFound << false;
        QTest::newRow("not found page") << "serve"
                                        << "http://127.0.0.1:@PORT@/missing.html" << 404
                                        << QByteArray() << noProxy + kNotFound << false;
        QTest::newRow("401 without marker: proxy, shown all the same")
            << "serve" << page << 401 << QByteArray("login first") << proxy + kNotFound << true;
        QTest::newRow("401 with marker")
            << "serve" << page << 401 << kMarker << proxy + found << true;
        QTest::newRow("unreachable")
            << "unreachable" << page << 0 << QByteArray() << noProxy + kUnreachable << false;
        QTest::newRow("percent signs in the URL")
            << "unreachable"
            << "http://127.0.0.1:@PORT@/map%s%d%25.html" << 0 << QByteArray()
            << noProxy + kUnreachable << false;
    }
    void startMap() {
        QFETCH(QString, server);
        QFETCH(QString, urlPattern);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QStringList, messages);
        QFETCH(bool, showsConfiguredUrl);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            status_ = status;
            body_ = body.toStdString();
        }
        const int port = server == "unreachable" ? UnusedPort() : http_.Port();
        const QString url = QString(urlPattern).replace("@PORT@", QString::number(port));
        QFile config(QString::fromStdString(theApp().ModuleFile("um_config.ini")));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write("[UM_CONFIG]\r\nDEFAULT_IP_0=" + url.toLatin1() + "\r\n");
        config.close();
        theApp().LoadConfig();
        SetConnectionProbe([server] { return server != "none"; });

        MessageRecorder shown;
        CMapDlg dlg;
        CMapBridge bridge;
        bridge.StartMap();
        bridge.StartMap();  // discovery runs once

        QCOMPARE(HistoryWithoutTimes(HistoryPath()),
                 ExpectedHistory(QStringList(messages).replaceInStrings("@URL@", url)));
        QCOMPARE(QString::fromStdString(bridge.mapUrls[0]), url);
        QCOMPARE(bridge.mapUrlIndex, 0);
        if (server == "none")
            QCOMPARE(int(requests_), 0);
        QVERIFY(shown.texts.empty());

        QVERIFY(bridge.View() != nullptr);
        QCOMPARE(GetDlgItem(&dlg, CMapDlg::kMapControlId), bridge.View());
        QTRY_VERIFY_WITH_TIMEOUT(!bridge.View()->url().isEmpty(), 15000);
        const QUrl shownUrl = bridge.View()->url();
        if (showsConfiguredUrl) {
            QCOMPARE(shownUrl, QUrl::fromUserInput(url));
        } else {
            QCOMPARE(shownUrl.scheme(), QString("qrc"));
            QCOMPARE(shownUrl.path(), QString("/map/zavomap.html"));
        }
    }

    // Without a map window there is no view to show a page in; discovery still logs.
    void startMapWithoutMapWindow() {
        SetConnectionProbe([] { return false; });
        CMapBridge bridge;
        bridge.StartMap();
        QVERIFY(bridge.View() == nullptr);
        QVERIFY(bridge.Document() != nullptr);
        QCOMPARE(HistoryWithoutTimes(HistoryPath()), ExpectedHistory({"m_InetFlag: 2"}));
        QVERIFY(!bridge.PageLoaded());
    }
};

QTEST_MAIN(TestMapDiscovery)
#include "test_map_discovery.moc"
