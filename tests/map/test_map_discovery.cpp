// Map server discovery against loopback servers: the history log of each outcome and the page
// the map view is sent to.

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>
#include <mutex>

#include "app/app_state.h"
#include "loopback.h"
#include "map/js_call_view.h"
#include "map/map_bridge.h"
#include "map/map_dlg.h"
#include "web_support.h"

namespace {
const QByteArray kMarker = kMapPageMarker;

// History.log with each time stamp replaced by "TS".
QByteArray HistoryWithoutTimes() {
    QFile file(QString::fromStdString(theApp().ModuleFile("History.log")));
    if (!file.open(QIODevice::ReadOnly))
        return "<no log>";
    static const QRegularExpression stamp(
        "^\\[\\d{4}/\\d{1,2}/\\d{1,2}\\]\\[\\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\]\t",
        QRegularExpression::MultilineOption);
    return QString::fromLatin1(file.readAll()).replace(stamp, "TS\t").toLatin1();
}

// Each message ends in its own line feed, so an empty line follows it; line ends are CR LF.
QByteArray ExpectedHistory(const QStringList& messages) {
    QByteArray out;
    for (const QString& m : messages) out += "TS\t" + m.toLatin1() + "\r\n\r\n";
    return out;
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
    int requests_ = 0;
    int viewRequests_ = 0;  // those of the browser view, not of discovery's fetches

private slots:
    void initTestCase() {
        http_.server.Get(
            "/zavomap.html", [this](const httplib::Request& request, httplib::Response& r) {
                std::lock_guard<std::mutex> lock(mutex_);
                ++requests_;
                if (request.get_header_value("User-Agent") != "Qent Software HTTP Retriever 1.0")
                    ++viewRequests_;
                r.status = status_;
                if (status_ == 401)  // a login the view cannot give
                    r.set_header("WWW-Authenticate", "Basic realm=\"camera\"");
                r.set_content(body_, "text/html");
            });
        http_.Start();
        QVERIFY(http_.Port() > 0);
    }

    void init() {
        tmp_ = std::make_unique<QTemporaryDir>();
        theApp() = CVantrailApp{};
        theApp().moduleDir = tmp_->path().toStdString();
    }
    void cleanup() {
        SetConnectionProbe({});
        theApp() = CVantrailApp{};
    }

    void startMap_data() {
        QTest::addColumn<QString>("server");  // serve, unreachable, none (no connection)
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<bool>("configuredUrlTried");  // by the view
        QTest::addColumn<bool>("showsConfiguredUrl");  // else our own page

        const QStringList noProxy = {"m_InetFlag: 3", "Internet connected!...",
                                     "no proxy detected..."};
        const QStringList proxy = {"m_InetFlag: 3", "Internet connected!...", "proxy detected!!"};
        const QStringList found = {"IP @URL@ is responsible!"};
        const QStringList notFound = {"connect IP: @URL@!", "Get page error!!",
                                      "Useful IP not found!!", "IP @URL@ is used!"};
        QFile bundled(":/map/zavomap.html");
        QVERIFY(bundled.open(QIODevice::ReadOnly));

        QTest::newRow("no connection: no fetch")
            << "none" << 200 << kMarker << QStringList{"m_InetFlag: 2"} << false << false;
        QTest::newRow("marker, then HTML")
            << "serve" << 200 << kMarker + "\n<html>map</html>" << noProxy + found << true << true;
        QTest::newRow("exactly the 40 marker bytes")
            << "serve" << 200 << kMarker << noProxy + found << true << true;
        QTest::newRow("our own page")
            << "serve" << 200 << bundled.readAll() << noProxy + found << true << true;
        QTest::newRow("leading blank")
            << "serve" << 200 << " " + kMarker << noProxy + notFound << false << false;
        QTest::newRow("other letter case")
            << "serve" << 200 << kMarker.toUpper() << noProxy + notFound << false << false;
        QTest::newRow("byte-order mark")
            << "serve" << 200 << "\xEF\xBB\xBF" + kMarker << noProxy + notFound << false << false;
        QTest::newRow("401: proxy, tried all the same, our page instead")
            << "serve" << 401 << QByteArray("login first") << proxy + notFound << true << false;
        QTest::newRow("unreachable, percent signs in the URL")
            << "unreachable" << 0 << QByteArray() << noProxy + notFound.mid(0, 2) + notFound
            << false << false;
    }
    void startMap() {
        QFETCH(QString, server);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QStringList, messages);
        QFETCH(bool, configuredUrlTried);
        QFETCH(bool, showsConfiguredUrl);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            status_ = status;
            body_ = body.toStdString();
            requests_ = 0;
            viewRequests_ = 0;
        }
        const int port = server == "unreachable" ? UnusedPort() : http_.Port();
        const QString url = QString("http://127.0.0.1:%1/%2")
                                .arg(port)
                                .arg(server == "unreachable" ? "map%s%d%25.html" : "zavomap.html");
        QFile config(QString::fromStdString(theApp().ModuleFile("um_config.ini")));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write("[UM_CONFIG]\r\nDEFAULT_IP_0=" + url.toLatin1() + "\r\n");
        config.close();
        theApp().LoadConfig();
        SetConnectionProbe([server] { return server != "none"; });

        MessageRecorder shown;
        CMapDlg dlg;
        CMapBridge bridge;
        bridge.StartMap(&dlg);
        bridge.StartMap(&dlg);  // discovery runs once

        // The view is sent to a page once discovery has ended.
        const QUrl bundled("qrc:/map/zavomap.html");
        const QUrl page = showsConfiguredUrl ? QUrl(url) : bundled;
        QTRY_VERIFY_WITH_TIMEOUT(bridge.PageLoaded() && bridge.View()->url() == page, 15000);
        QCOMPARE(HistoryWithoutTimes(),
                 ExpectedHistory(QStringList(messages).replaceInStrings("@URL@", url)));
        std::lock_guard<std::mutex> lock(mutex_);
        if (server == "none")
            QCOMPARE(requests_, 0);
        QCOMPARE(viewRequests_ > 0, configuredUrlTried);
        QVERIFY(shown.texts.empty());
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
        QCOMPARE(HistoryWithoutTimes(),
                 ExpectedHistory({"m_InetFlag: 3", "Internet connected!..."}));
    }
};

QTEST_MAIN(TestMapDiscovery)
#include "test_map_discovery.moc"
