#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

#include <future>

#include "app/hand_over_message.h"
#include "shell/instance_server.h"

namespace {
// A later start, on a thread of its own: it blocks until the running instance answers.
std::future<HandOver> LaterStart(const QString& server, const QStringList& paths,
                                 uid_t owner = geteuid()) {
    return std::async(std::launch::async, [=] {
        QString why;
        return HandOverPaths(server, paths, &why, owner);
    });
}

bool Ended(const std::future<HandOver>& start) {
    return start.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}
}  // namespace

class TestInstanceServer : public QObject {
    Q_OBJECT

    QTemporaryDir tmp_;
    QString name_ = tmp_.filePath("vantrail.socket");
    std::unique_ptr<CInstanceServer> server_;
    QList<QStringList> received_;

private slots:
    void init() {
        server_ = std::make_unique<CInstanceServer>();
        received_.clear();
        connect(server_.get(), &CInstanceServer::PathsReceived, this,
                [this](const QStringList& paths) { received_ << paths; });
        QString why;
        QVERIFY2(server_->Listen(name_, &why), qPrintable(why));
    }
    void cleanup() { server_.reset(); }

    // Opening handed-over paths may show a message box, whose loop runs while the start
    // that sent them goes away and the next start hands over: each list is acted on after
    // the one before has returned.
    void handOversOneAtATime() {
        int depth = 0;
        int deepest = 0;
        std::future<HandOver> second;
        connect(server_.get(), &CInstanceServer::PathsReceived, this, [&] {
            deepest = std::max(deepest, ++depth);
            if (!second.valid()) {
                second = LaterStart(name_, {"/b.MOV"});
                QVERIFY(QTest::qWaitFor([&] { return Ended(second); }));
            }
            --depth;
        });
        std::future<HandOver> first = LaterStart(name_, {"/a.MOV", "/c.nmea"});
        QTRY_COMPARE(received_, (QList<QStringList>{{"/a.MOV", "/c.nmea"}, {"/b.MOV"}}));
        QCOMPARE(deepest, 1);
        QCOMPARE(first.get(), HandOver::Delivered);
        QCOMPARE(second.get(), HandOver::Delivered);
    }

    // A connection that does not send one whole, valid message soon is dropped and nothing
    // is opened; a message that arrives in pieces is taken.
    void connections_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("piece");  // bytes per write, 0 for all at once
        QTest::addColumn<bool>("taken");
        const auto message = [](const std::string& path) {
            return QByteArray::fromStdString(EncodeHandOver({"/cam/R1.MOV", path}).value());
        };
        QTest::newRow("a byte at a time") << message("/cam/R1.nmea") << 1 << true;
        QTest::newRow("garbage") << QByteArray("GET / HTTP/1.0\r\n\r\n") << 0 << false;
        QTest::newRow("silent") << QByteArray() << 0 << false;
        QTest::newRow("more than 1 MB")
            << QByteArray("VTH1\0\x20\0\0", 8) + QByteArray(1100000, '/') << 0 << false;
        QTest::newRow("relative path") << message("cam/R1.nmea") << 0 << false;
        QTest::newRow("NUL in a path") << message({"/cam/R1\0.nmea", 13}) << 0 << false;
    }
    void connections() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, piece);
        QFETCH(bool, taken);
        QLocalSocket client;
        client.connectToServer(name_);
        QVERIFY(client.waitForConnected(1000));
        for (qsizetype at = 0; at < bytes.size(); at += piece ? piece : bytes.size()) {
            client.write(bytes.mid(at, piece ? piece : -1));
            client.flush();
            QTest::qWait(piece ? 5 : 0);
        }
        QTRY_COMPARE_WITH_TIMEOUT(client.state(), QLocalSocket::UnconnectedState, 10000);
        QCOMPARE(client.readAll(), taken ? QByteArray("1") : QByteArray());
        QTRY_COMPARE(received_.size(), taken ? 1 : 0);
    }

    // Paths go only to a server of this user: another user's listener gets no byte.
    void handsOverOnlyToItsOwnUser() {
        server_.reset();
        QLocalServer other;
        QVERIFY(other.listen(name_));
        std::future<HandOver> start = LaterStart(name_, {"/a.MOV"}, geteuid() + 1);
        QTRY_VERIFY(Ended(start) && other.hasPendingConnections());
        QCOMPARE(start.get(), HandOver::Failed);
        QLocalSocket* peer = other.nextPendingConnection();
        QVERIFY(peer->state() == QLocalSocket::UnconnectedState || peer->waitForDisconnected());
        QCOMPARE(peer->readAll(), QByteArray());
    }

    // Without a runtime folder of this user alone the socket goes in a folder only this
    // user can enter; anything else in its place means no hand-over, not a socket others
    // can listen on or block.
    void socketFolder_data() {
        QTest::addColumn<int>("runtime");  // mode of XDG_RUNTIME_DIR, 0 for unset
        QTest::addColumn<QString>("planted");
        QTest::addColumn<QString>("expected");
        const QString own = QStringLiteral("tmp/vantrail-%1/vantrail-:9.socket").arg(geteuid());
        const auto row = [](const char* name, int runtime, const char* planted, QString expected) {
            QTest::newRow(name) << runtime << QString(planted) << expected;
        };
        row("runtime folder", 0700, "", "run/vantrail-:9.socket");
        row("runtime folder open to others", 0755, "", own);
        row("no runtime folder", 0, "", own);
        row("our folder already", 0, "folder 700", own);
        row("the folder open to others", 0, "folder 777", {});
        row("a file in its place", 0, "file", {});
        row("a link in its place", 0, "link", {});
        row("another user's folder", 0, "given away", {});
    }
    void socketFolder() {
        QFETCH(int, runtime);
        QFETCH(QString, planted);
        QFETCH(QString, expected);
        const QTemporaryDir root;
        const QByteArray own =
            QFile::encodeName(root.filePath(QStringLiteral("tmp/vantrail-%1").arg(geteuid())));
        const QByteArray run = QFile::encodeName(root.filePath("run"));
        QVERIFY(mkdir(run, mode_t(runtime)) == 0 && chmod(run, mode_t(runtime)) == 0);
        QVERIFY(mkdir(QFile::encodeName(root.filePath("tmp")), 0700) == 0);
        if (planted.startsWith("folder"))
            QVERIFY(mkdir(own, 0700) == 0 &&
                    chmod(own, planted.endsWith("777") ? 0777 : 0700) == 0);
        if (planted == "file")
            QVERIFY(QFile(own).open(QIODevice::WriteOnly));
        if (planted == "link")
            QVERIFY(symlink(run.constData(), own) == 0);
        if (planted == "given away" && (mkdir(own, 0700) != 0 || chown(own, 65534, 65534) != 0))
            QSKIP("only root can give a folder to another user");
        qputenv("DISPLAY", ":9");
        qunsetenv("WAYLAND_DISPLAY");
        qputenv("TMPDIR", QFile::encodeName(root.filePath("tmp")));
        runtime ? qputenv("XDG_RUNTIME_DIR", run) : qunsetenv("XDG_RUNTIME_DIR");
        QString why;
        QCOMPARE(InstanceServerName(&why), expected.isEmpty() ? "" : root.filePath(expected));
        QCOMPARE(why.isEmpty(), !expected.isEmpty());
        struct stat made {};
        QVERIFY(!expected.startsWith("tmp/") ||
                (lstat(own, &made) == 0 && (made.st_mode & 0777) == 0700));
    }
};

QTEST_GUILESS_MAIN(TestInstanceServer)
#include "test_instance_server.moc"
