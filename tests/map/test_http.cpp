// The HTTP retriever and the HTTP client against servers on loopback.

#include <curl/curl.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <functional>

#include "loopback.h"
#include "map/http_client.h"
#include "map/http_retriever.h"

namespace {
const QByteArray kBoundary = "----MULTI-PARTS-FORM-DATA-BOUNDARY";
const QByteArray kFileBytes("bin\0\r\n\xff end", 11);

QByteArray Head(const QByteArray& request) {
    return request.left(request.indexOf("\r\n\r\n") + 2);
}
QByteArray Body(const QByteArray& request) {
    return request.mid(request.indexOf("\r\n\r\n") + 4);
}

// The one request a connected client sent to a capture server, or "<none>".
QByteArray Capture(const std::function<void(CHttpClient&)>& send) {
    RawServer raw;
    CHttpClient client;
    if (!raw.Start() ||
        !client.Connect("127.0.0.1", raw.Port(), "user", "secret", CHttpClient::kHttp, "t"))
        return "<none>";
    send(client);
    raw.Stop();
    return raw.Requests().size() == 1 ? raw.Requests().front() : "<none>";
}
}  // namespace

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
        QFETCH(QByteArray, expected);
        RawServer server(head.toStdString(), body.toStdString());
        QVERIFY(server.Start());
        CHttpRetriever retriever;
        const char* page = retriever.GetPage(server.Url().c_str(), false, nullptr, 0);
        QCOMPARE(QByteArray(page ? page : "<null>"), expected);
    }

    // Off port 80 a POST speaks TLS, which the plain loopback server cannot answer.
    void postOffPort80IsSecure() {
        LoopbackHttpServer plain;
        plain.Start();
        CHttpRetriever retriever;
        QVERIFY(!retriever.PostUrl(plain.Url("/").c_str(), "a=1", CHttpRetriever::kTextLength));
        QCOMPARE(retriever.LastError(), uint(CURLE_SSL_CONNECT_ERROR));
    }

    // The client follows a redirect within its server; one elsewhere is its answer.
    void clientRedirects() {
        LoopbackHttpServer home, other;
        std::atomic<int> elsewhere = 0;
        home.server.Get("/page", [](const auto&, httplib::Response& r) { r.status = 200; });
        home.server.Get("/near", [](const auto&, auto& r) { r.set_redirect("/page"); });
        home.server.Get("/away", [&](const auto&, auto& r) { r.set_redirect(other.Url("/page")); });
        other.server.set_logger([&](const auto&, const auto&) { ++elsewhere; });
        home.Start();
        other.Start();
        CHttpClient client;
        QVERIFY(
            client.Connect("127.0.0.1", home.Port(), nullptr, nullptr, CHttpClient::kHttp, "t"));
        for (const auto& [path, status] : {std::pair{"/near", 200}, {"/away", 302}}) {
            QVERIFY(client.RequestGet(path, ""));
            QCOMPARE(client.ResponseStatus(), status);
        }
        QCOMPARE(elsewhere.load(), 0);
    }

    // The request on the wire. Credentials wait for the server to ask.
    void clientWire_data() {
        QTest::addColumn<int>("kind");  // 0 form POST, 2/3 multipart field/file
        QTest::addColumn<QByteArrayList>("head");
        QTest::addColumn<QByteArray>("body");
        const QByteArray multipart =
            "Content-Type: multipart/form-data; boundary=" + kBoundary.mid(2);
        const QByteArray part = kBoundary + "\r\nContent-Disposition: form-data; name=\"x\"";
        const QByteArray end = "\r\n" + kBoundary + "--\r\n";
        QTest::newRow("form POST")
            << 0
            << QByteArrayList{"POST /form HTTP/1.0",
                              "Content-Type: application/x-www-form-urlencoded",
                              "Referer: http://127.0.0.1/ref", "User-Agent: t"}
            << QByteArray("a=1&b=two");
        QTest::newRow("multipart field")
            << 2 << QByteArrayList{"POST /upload HTTP/1.0", multipart} << part + "\r\n\r\ny" + end;
        QTest::newRow("multipart file")
            << 3 << QByteArrayList{"POST /upload HTTP/1.0", multipart}
            << part + "; filename=\"@FILE@\"\r\n\r\n" + kFileBytes + end;
    }
    void clientWire() {
        QFETCH(int, kind);
        QFETCH(QByteArrayList, head);
        QFETCH(QByteArray, body);
        QTemporaryDir dir;
        const QString path = dir.filePath("upload.bin");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(kFileBytes) == 11);
        file.close();
        const QByteArray request = Capture([&](CHttpClient& c) {
            if (kind == 0) {
                c.AddArgument("a", "1");
                c.AddArgument("b", "two");
                QVERIFY(c.RequestPost("/form", "http://127.0.0.1/ref"));
                QCOMPARE(QString::fromStdString(c.ResponseBody()), "ok");
            } else {
                c.AddArgument("x", kind == 2 ? "y" : path.toStdString(), kind - 2);
                QVERIFY(c.RequestPostMultiParts("/upload", ""));
            }
        });
        body.replace("@FILE@", path.toUtf8());
        QCOMPARE(Body(request), body);
        const QByteArray got = Head(request);
        QVERIFY2(got.startsWith(head[0] + "\r\n") && !got.contains("Authorization:"), got);
        for (const QByteArray& line : head.mid(1))
            QVERIFY2(got.contains("\r\n" + line + "\r\n"), line);
        QVERIFY2(got.contains("\r\nContent-Length: " + QByteArray::number(body.size())), got);
    }

    void clientFailures() {
        CHttpClient client;
        const auto failure = [&client] {
            try {
                client.RequestGet("/p", "");
            } catch (const HttpClientError& e) {
                return QString::fromLatin1(e.what());
            }
            return QString();
        };
        QCOMPARE(failure(), "handle not opened...");
        QVERIFY(
            client.Connect("127.0.0.1", UnusedPort(), nullptr, nullptr, CHttpClient::kHttp, "t"));
        QCOMPARE(failure(), "request failed...");
    }
};

QTEST_GUILESS_MAIN(TestHttp)
#include "test_http.moc"
