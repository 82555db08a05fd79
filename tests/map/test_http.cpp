// The HTTP retriever against servers on loopback.

#include <QTest>

#include "loopback.h"
#include "map/http_retriever.h"

class TestHttp : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // The client honours the system's proxy settings; here everything stays on loopback.
        for (const char* name :
             {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
            qunsetenv(name);
    }

    // The header block alone: the transfer ends before the body, which may never end.
    void headers() {
        const QByteArray statusLine = "HTTP/1.1 401 Unauthorized";
        RawServer server(statusLine.toStdString() + "\r\nContent-Type: text/html\r\n\r\n", "",
                         RawServer::kEndless);
        QVERIFY(server.Start());
        CHttpRetriever retriever;
        const char* block = retriever.GetHeaders(server.Url().c_str());
        QCOMPARE(retriever.GetStatusCode(), 401);
        // The block is zero-separated lines: the status line comes first, without its CR LF.
        QCOMPARE(QByteArray(block ? block : ""), statusLine);
        QVERIFY(retriever.FindHeader("content-type") != nullptr);
        QVERIFY(retriever.FindHeader("x-missing") == nullptr);
        QVERIFY(server.BodySent() < RawServer::kEndlessCap);
    }

    // The body as a text, whole, or what came of it before it was cut short.
    void body_data() {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray whole = "HTTP/1.0 200 OK\r\n\r\n";
        const QByteArray cut = "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n";
        // The zero byte sits in the first 8191-byte piece; the second piece has none, and is
        // kept after the first.
        const QByteArray zero = QByteArray(10, 'a') + '\0' + QByteArray(8180, 'b') + "ccc";
        QTest::newRow("zero byte ends its piece") << whole << zero << QByteArray(10, 'a') + "ccc";
        QTest::newRow("connection dropped")
            << cut << QByteArray("<!-- part") << QByteArray("<!-- part");
    }
    void body() {
        QFETCH(QByteArray, head);
        QFETCH(QByteArray, body);
        RawServer server(head.toStdString(), body.toStdString());
        QVERIFY(server.Start());
        CHttpRetriever retriever;
        const char* page = retriever.GetPage(server.Url().c_str(), false, nullptr, 0);
        QTEST(QByteArray(page ? page : "<null>"), "expected");
    }
};

QTEST_GUILESS_MAIN(TestHttp)
#include "test_http.moc"
