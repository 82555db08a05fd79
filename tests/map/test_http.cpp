// The HTTP retriever and the HTTP client against servers on loopback.

#include <curl/curl.h>

#include <QTemporaryDir>
#include <QTest>

#include <cstring>

#include "loopback.h"
#include "map/http_client.h"
#include "map/http_retriever.h"

namespace {
const std::string kAgent = "vantrail-test";

std::vector<std::string> HeaderLines(const char* block) {
    std::vector<std::string> lines;
    for (const char* line = block; *line != '\0'; line += std::strlen(line) + 1)
        lines.emplace_back(line);
    return lines;
}

QByteArray Body(const QByteArray& request) {
    return request.mid(request.indexOf("\r\n\r\n") + 4);
}

QByteArray Head(const QByteArray& request) {
    return request.left(request.indexOf("\r\n\r\n") + 2);
}
}  // namespace

class TestHttp : public QObject {
    Q_OBJECT

private:
    LoopbackHttpServer http_;
    std::string lastAgent_;
    std::mutex agentMutex_;

private slots:
    void initTestCase() {
        // The client uses the system's proxy settings; here everything stays on loopback.
        for (const char* name :
             {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
            qunsetenv(name);
        auto& s = http_.server;
        s.Get("/denied", [](const httplib::Request&, httplib::Response& r) {
            r.status = 401;
            r.set_content("no", "text/plain");
        });
        s.Get("/page", [this](const httplib::Request& q, httplib::Response& r) {
            std::lock_guard<std::mutex> lock(agentMutex_);
            lastAgent_ = q.get_header_value("User-Agent");
            r.set_content("<p>hello</p>", "text/html");
        });
        s.Get("/moved",
              [](const httplib::Request&, httplib::Response& r) { r.set_redirect("/page"); });
        s.Get("/size/(\\d+)", [](const httplib::Request& q, httplib::Response& r) {
            std::string body;
            for (int i = 0; i < std::stoi(q.matches[1]); ++i)
                body.push_back(static_cast<char>('a' + i % 26));
            r.set_content(body, "text/plain");
        });
        s.Get("/zero", [](const httplib::Request&, httplib::Response& r) {
            // The zero byte sits in the first 8191-byte piece; the second piece has none.
            std::string body = std::string(10, 'a') + '\0' + std::string(8180, 'b');
            body += std::string(100, 'c');
            r.set_content(body, "text/plain");
        });
        s.Post("/anything", [](const httplib::Request&, httplib::Response& r) {
            r.set_content("posted", "text/plain");
        });
        http_.Start();
        QVERIFY(http_.Port() > 0);
    }
    void cleanupTestCase() { http_.Stop(); }

    void statusCode_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("statusLine");
        QTest::newRow("401 Unauthorized") << "/denied" << 401 << "HTTP/1.1 401 Unauthorized";
        QTest::newRow("200 OK") << "/page" << 200 << "HTTP/1.1 200 OK";
        QTest::newRow("HTTP/1.0 200 OK") << "raw" << 200 << "HTTP/1.0 200 OK";
        QTest::newRow("redirect: final response") << "/moved" << 200 << "HTTP/1.1 200 OK";
        QTest::newRow("no headers (nothing listening)") << "" << 0 << "";
    }
    void statusCode() {
        QFETCH(QString, path);
        QFETCH(int, status);
        QFETCH(QString, statusLine);
        RawCaptureServer raw;  // answers HTTP/1.0
        QVERIFY(raw.Start());
        const int port = path.isEmpty() ? UnusedPort() : path == "raw" ? raw.Port() : http_.Port();
        const std::string url = "http://127.0.0.1:" + std::to_string(port) +
                                (path.startsWith('/') ? path.toStdString() : "/");
        CHttpRetriever retriever;
        const char* block = retriever.GetHeaders(url.c_str());
        QCOMPARE(retriever.GetStatusCode(), status);
        if (statusLine.isEmpty()) {
            QVERIFY(block == nullptr);
            QVERIFY(retriever.FindHeader("http") == nullptr);
            return;
        }
        QVERIFY(block != nullptr);
        const std::vector<std::string> lines = HeaderLines(block);
        QVERIFY(lines.size() >= 2);
        QCOMPARE(QString::fromStdString(lines.front()), statusLine);
        for (const std::string& line : lines)
            QVERIFY(line.find_first_of("\r\n") == std::string::npos);
        // The empty line that ends the block follows the last header line.
        const char* last = block;
        for (const std::string& line : lines) last += line.size() + 1;
        QCOMPARE(*last, '\0');
    }

    void findHeader_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("line");
        QTest::newRow("lower case") << "content-type"
                                    << "Content-Type: text/html";
        QTest::newRow("mixed case, inside") << "TeXt/HtM"
                                            << "Content-Type: text/html";
        QTest::newRow("absent") << "x-missing"
                                << "";
    }
    void findHeader() {
        QFETCH(QString, text);
        QFETCH(QString, line);
        CHttpRetriever retriever;
        QVERIFY(retriever.GetHeaders(http_.Url("/page").c_str()) != nullptr);
        const char* found = retriever.FindHeader(text.toLatin1().constData());
        QCOMPARE(QString::fromLatin1(found == nullptr ? "" : found), line);
    }

    void getPage_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("expected");
        QByteArray big;
        for (int i = 0; i < 20000; ++i) big.append(static_cast<char>('a' + i % 26));
        QTest::newRow("20000 bytes whole") << "/size/20000" << big;
        QTest::newRow("exactly one piece") << "/size/8191" << big.left(8191);
        QTest::newRow("empty body is the empty text") << "/size/0" << QByteArray("");
        QTest::newRow("zero byte ends its piece")
            << "/zero" << QByteArray(10, 'a') + QByteArray(100, 'c');
    }
    void getPage() {
        QFETCH(QString, path);
        QFETCH(QByteArray, expected);
        CHttpRetriever retriever;
        const char* page =
            retriever.GetPage(http_.Url(path.toStdString()).c_str(), false, nullptr, 0);
        QVERIFY(page != nullptr);
        QCOMPARE(QByteArray(page), expected);
    }

    void getPageFailures_data() {
        QTest::addColumn<bool>("nullUrl");
        QTest::addColumn<QString>("url");
        QTest::addColumn<uint>("error");
        QTest::newRow("null URL") << true << "" << uint(CHttpRetriever::kNullUrlError);
        QTest::newRow("empty URL") << false << "" << uint(CURLE_URL_MALFORMAT);
        QTest::newRow("refused") << false << QString("http://127.0.0.1:%1/").arg(UnusedPort())
                                 << uint(CURLE_COULDNT_CONNECT);
        QTest::newRow("not HTTP") << false << "file:///etc/hostname"
                                  << uint(CURLE_UNSUPPORTED_PROTOCOL);
    }
    void getPageFailures() {
        QFETCH(bool, nullUrl);
        QFETCH(QString, url);
        QFETCH(uint, error);
        CHttpRetriever retriever;
        const QByteArray text = url.toLatin1();
        QVERIFY(retriever.GetPage(nullUrl ? nullptr : text.constData(), false, nullptr, 0) ==
                nullptr);
        QCOMPARE(retriever.LastError(), error);
    }

    void userAgent() {
        CHttpRetriever retriever;
        QVERIFY(retriever.OpenUrl(http_.Url("/page").c_str()));
        std::lock_guard<std::mutex> lock(agentMutex_);
        QCOMPARE(QString::fromStdString(lastAgent_), "Qent Software HTTP Retriever 1.0");
    }

    void postTarget_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("secure");
        QTest::newRow("port 8080: secure") << "http://10.0.0.1:8080/set?a=1"
                                           << "https://10.0.0.1:8080/set?a=1" << true;
        QTest::newRow("port 80 given: plain") << "http://cam:80/x"
                                              << "http://cam:80/x" << false;
        QTest::newRow("HTTP default port: plain") << "http://cam/x"
                                                  << "http://cam:80/x" << false;
        QTest::newRow("HTTPS default port: secure") << "https://cam/"
                                                    << "https://cam:443/" << true;
        QTest::newRow("not a URL") << "no url here"
                                   << "" << false;
    }
    void postTarget() {
        QFETCH(QString, url);
        QFETCH(QString, target);
        QFETCH(bool, secure);
        const PostTarget t = PostTargetFor(url.toStdString());
        QCOMPARE(QString::fromStdString(t.url), target);
        QCOMPARE(t.secure, secure);
    }

    // A POST to a port other than 80 speaks TLS, which a plain server does not understand.
    void postOffPort80IsSecure() {
        CHttpRetriever retriever;
        QVERIFY(
            !retriever.PostUrl(http_.Url("/anything").c_str(), "a=1", CHttpRetriever::kTextLength));
        QCOMPARE(retriever.LastError(), uint(CURLE_SSL_CONNECT_ERROR));
        QVERIFY(retriever.GetPage(http_.Url("/anything").c_str(), true, "a=1", 3) == nullptr);
    }

    void clientPostWire() {
        RawCaptureServer raw;
        QVERIFY(raw.Start());
        CHttpClient client;
        QVERIFY(
            client.Connect("127.0.0.1", raw.Port(), nullptr, nullptr, CHttpClient::kHttp, kAgent));
        client.AddArgument("a", "1");
        client.AddArgument("b", "two");
        QVERIFY(client.RequestPost("/form", "http://127.0.0.1/ref"));
        QCOMPARE(client.ResponseStatus(), 200);
        QCOMPARE(QString::fromStdString(client.ResponseBody()), "ok");
        raw.Stop();
        QCOMPARE(raw.Requests().size(), size_t(1));
        const QByteArray request = raw.Requests().front();
        const QByteArray head = Head(request);
        QVERIFY2(head.startsWith("POST /form HTTP/1.0\r\n"), head);
        QVERIFY2(head.contains("\r\nAccept: */*\r\n"), head);
        QVERIFY2(head.contains("\r\nContent-Type: application/x-www-form-urlencoded\r\n"), head);
        QVERIFY2(head.contains("\r\nContent-Length: 9\r\n"), head);
        QVERIFY2(head.contains("\r\nUser-Agent: vantrail-test\r\n"), head);
        QVERIFY2(head.contains("\r\nReferer: http://127.0.0.1/ref\r\n"), head);
        QCOMPARE(Body(request), QByteArray("a=1&b=two"));
    }

    void clientGetWithCookies() {
        RawCaptureServer raw;
        QVERIFY(raw.Start());
        CHttpClient client;
        QVERIFY(
            client.Connect("127.0.0.1", raw.Port(), "user", "secret", CHttpClient::kHttp, kAgent));
        client.AddCookie("sid", "abc123");
        client.AddCookie("lang", "en");
        QVERIFY(client.RequestGet("/dir/page?q=1", ""));
        raw.Stop();
        QCOMPARE(raw.Requests().size(), size_t(1));
        const QByteArray head = Head(raw.Requests().front());
        QVERIFY2(head.startsWith("GET /dir/page?q=1 HTTP/1.0\r\n"), head);
        const int at = head.indexOf("\r\nCookie: ");
        QVERIFY2(at >= 0, head);
        const QByteArray cookies = head.mid(at + 10, head.indexOf("\r\n", at + 2) - at - 10);
        QCOMPARE(cookies.split(';').size(), 2);
        QVERIFY2(cookies.contains("sid=abc123") && cookies.contains("lang=en"), cookies);
        // Credentials wait for the server to ask; none went out with the request.
        QVERIFY2(!head.contains("Authorization:"), head);
        QVERIFY2(!head.contains("Referer:"), head);
        QCOMPARE(Body(raw.Requests().front()), QByteArray());
    }

    void clientMultipart_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("fileBytes");
        QTest::addColumn<QByteArray>("expectedPart");
        const QByteArray delim = "----MULTI-PARTS-FORM-DATA-BOUNDARY";
        QTest::newRow("plain field")
            << 0 << QByteArray()
            << delim + "\r\nContent-Disposition: form-data; name=\"x\"\r\n\r\ny\r\n";
        const QByteArray bytes("bin\0\r\n\xff end", 11);
        QTest::newRow("file field")
            << 1 << bytes
            << delim +
                   "\r\nContent-Disposition: form-data; name=\"x\"; filename=\"@FILE@\"\r\n\r\n" +
                   bytes + "\r\n";
        QTest::newRow("file that cannot be opened")
            << 1 << QByteArray()
            << delim +
                   "\r\nContent-Disposition: form-data; name=\"x\"; filename=\"@FILE@\"\r\n\r\n";
    }
    void clientMultipart() {
        QFETCH(int, kind);
        QFETCH(QByteArray, fileBytes);
        QFETCH(QByteArray, expectedPart);
        QTemporaryDir dir;
        const QString path = dir.filePath("upload.bin");
        if (!fileBytes.isEmpty()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(fileBytes);
        }
        RawCaptureServer raw;
        QVERIFY(raw.Start());
        CHttpClient client;
        QVERIFY(
            client.Connect("127.0.0.1", raw.Port(), nullptr, nullptr, CHttpClient::kHttp, kAgent));
        client.AddArgument("x", kind == 0 ? "y" : path.toStdString(), kind);
        QVERIFY(client.RequestPostMultiParts("/upload", ""));
        raw.Stop();
        QCOMPARE(raw.Requests().size(), size_t(1));
        const QByteArray request = raw.Requests().front();
        const QByteArray expected = QByteArray(expectedPart).replace("@FILE@", path.toUtf8()) +
                                    "----MULTI-PARTS-FORM-DATA-BOUNDARY--\r\n";
        QCOMPARE(Body(request), expected);
        const QByteArray head = Head(request);
        QVERIFY2(head.startsWith("POST /upload HTTP/1.0\r\n"), head);
        QCOMPARE(head.count("Content-Type:"), 1);
        QVERIFY2(head.contains("\r\nContent-Type: multipart/form-data; "
                               "boundary=--MULTI-PARTS-FORM-DATA-BOUNDARY\r\n"),
                 head);
        QCOMPARE(head.count("Content-Length:"), 1);
        QVERIFY2(
            head.contains("\r\nContent-Length: " + QByteArray::number(expected.size()) + "\r\n"),
            head);
    }

    void cookieUrl_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("storedPort");
        QTest::addColumn<QString>("url");
        QTest::newRow("HTTPS port 0") << 2 << 0 << 443 << "https://cam.local/cgi/set";
        QTest::newRow("FTP port 21") << 0 << 21 << 21 << "cam.local:21/cgi/set";
        QTest::newRow("FTP port 0") << 0 << 0 << 21 << "cam.local:21/cgi/set";
        QTest::newRow("HTTP port 80") << 1 << 80 << 80 << "http://cam.local/cgi/set";
        QTest::newRow("HTTP port 8080") << 1 << 8080 << 8080 << "http://cam.local:8080/cgi/set";
        QTest::newRow("HTTPS port 80") << 2 << 80 << 80 << "https://cam.local:80/cgi/set";
    }
    void cookieUrl() {
        QFETCH(int, kind);
        QFETCH(int, port);
        QFETCH(int, storedPort);
        QFETCH(QString, url);
        CHttpClient client;
        QVERIFY(client.Connect("cam.local", port, nullptr, nullptr, kind, kAgent));
        QCOMPARE(client.Port(), storedPort);
        QCOMPARE(QString::fromStdString(client.CookieUrl("/cgi/set")), url);
    }

    void clientFailures_data() {
        QTest::addColumn<bool>("connect");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("failure");
        QTest::newRow("GET before Connect") << false << 1 << "get"
                                            << "handle not opened...";
        QTest::newRow("multipart before Connect") << false << 1 << "multi"
                                                  << "handle not opened...";
        QTest::newRow("GET, nothing listening") << true << 1 << "get"
                                                << "request failed...";
        QTest::newRow("POST, nothing listening") << true << 1 << "post"
                                                 << "request failed...";
        QTest::newRow("multipart, nothing listening") << true << 1 << "multi"
                                                      << "request failed";
        QTest::newRow("HTTP request on FTP") << true << 0 << "get"
                                             << "request failed...";
        QTest::newRow("unknown connection kind") << true << 3 << "connect"
                                                 << "connect failed...";
        QTest::newRow("cookie that cannot be kept") << true << 1 << "cookie"
                                                    << "add cookie failed...";
    }
    void clientFailures() {
        QFETCH(bool, connect);
        QFETCH(int, kind);
        QFETCH(QString, operation);
        QFETCH(QString, failure);
        CHttpClient client;
        if (operation == "connect") {
            QVERIFY(!client.Connect("127.0.0.1", 80, nullptr, nullptr, kind, kAgent));
            QCOMPARE(QString::fromStdString(client.ConnectFailure()), failure);
        } else if (connect) {
            QVERIFY(client.Connect("127.0.0.1", UnusedPort(), nullptr, nullptr, kind, kAgent));
        }
        QString caught;
        try {
            if (operation == "post")
                client.RequestPost("/p", "");
            else if (operation == "multi")
                client.RequestPostMultiParts("/p", "");
            else if (operation == "cookie") {
                client.AddCookie("bad\tname", "v");
                client.RequestGet("/p", "");
            } else
                client.RequestGet("/p", "");
        } catch (const HttpClientError& e) {
            caught = QString::fromLatin1(e.what());
        }
        QCOMPARE(caught, operation == "connect" ? "handle not opened..." : failure);
    }
};

QTEST_GUILESS_MAIN(TestHttp)
#include "test_http.moc"
