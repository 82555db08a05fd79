// The HTTP retriever against servers on loopback.

#include <QTest>

#include <atomic>

#include "loopback.h"
#include "map/http_retriever.h"

class TestHttp : public QObject {
    Q_OBJECT

private slots:
    // The header block alone: the transfer ends before the body, which may never end (here it
    // stops at 64 MB).
    void headers() {
        constexpr long long kCap = 64LL << 20;
        std::atomic<long long> sent = 0;
        LoopbackHttpServer server;
        server.server.Get("/", [&sent](const auto&, httplib::Response& r) {
            r.status = 401;
            r.set_chunked_content_provider("text/html", [&sent](size_t, httplib::DataSink& sink) {
                const std::string filler(1 << 16, 'x');
                sent += filler.size();
                return sent < kCap && sink.write(filler.data(), filler.size());
            });
        });
        server.Start();
        CHttpRetriever retriever;
        const char* block = retriever.GetHeaders(server.Url("/").c_str());
        QCOMPARE(retriever.GetStatusCode(), 401);
        // The block is zero-separated lines: the status line comes first, without its CR LF.
        QCOMPARE(QByteArray(block ? block : ""), "HTTP/1.1 401 Unauthorized");
        QVERIFY(retriever.FindHeader("content-type") != nullptr);
        QVERIFY(retriever.FindHeader("x-missing") == nullptr);
        QVERIFY(sent < kCap);
    }

    // The body as a text, whole, or what came of it before it was cut short.
    void body_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("length");  // announced: past the body's end, the body is cut
        QTest::addColumn<QByteArray>("expected");
        // The zero byte sits in the first 8191-byte piece; the second piece has none, and is
        // kept after the first.
        const QByteArray zero = QByteArray(10, 'a') + '\0' + QByteArray(8180, 'b') + "ccc";
        QTest::newRow("zero byte ends its piece")
            << zero << int(zero.size()) << QByteArray(10, 'a') + "ccc";
        QTest::newRow("connection dropped")
            << QByteArray("<!-- part") << 1000 << QByteArray("<!-- part");
    }
    void body() {
        QFETCH(QByteArray, body);
        QFETCH(int, length);
        LoopbackHttpServer server;
        server.server.Get("/", [&](const auto&, httplib::Response& r) {
            r.set_content_provider(length, "text/html", [&](size_t, size_t, auto& sink) {
                sink.write(body.constData(), body.size());
                return body.size() == length;  // false drops the connection
            });
        });
        server.Start();
        CHttpRetriever retriever;
        const char* page = retriever.GetPage(server.Url("/").c_str(), false, nullptr, 0);
        QTEST(QByteArray(page ? page : "<null>"), "expected");
    }
};

QTEST_GUILESS_MAIN(TestHttp)
#include "test_http.moc"
