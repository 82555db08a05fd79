#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

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

QByteArray Message(const std::vector<std::string>& paths) {
    return QByteArray::fromStdString(EncodeHandOver(paths).value_or(""));
}
}  // namespace

class TestInstanceServer : public QObject {
    Q_OBJECT

    QTemporaryDir tmp_;
    QString name_;
    std::unique_ptr<CInstanceServer> server_;
    QList<QStringList> received_;

private slots:
    void init() {
        name_ = tmp_.filePath("vantrail.socket");
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
    // the one before has returned, none while another is open.
    void handOversOneAtATime() {
        int depth = 0;
        int deepest = 0;
        std::future<HandOver> second;
        connect(server_.get(), &CInstanceServer::PathsReceived, this, [&] {
            deepest = std::max(deepest, ++depth);
            if (!second.valid()) {
                second = LaterStart(name_, {"/b.MOV"});
                QEventLoop box;
                QTimer poll;
                connect(&poll, &QTimer::timeout, &box, [&] {
                    if (Ended(second))
                        box.quit();
                });
                poll.start(20);
                box.exec();
                QTimer::singleShot(200, &box, &QEventLoop::quit);
                box.exec();
            }
            --depth;
        });
        std::future<HandOver> first = LaterStart(name_, {"/a.MOV", "/c.nmea"});
        QTRY_COMPARE(received_.size(), 2);
        QCOMPARE(received_, (QList<QStringList>{{"/a.MOV", "/c.nmea"}, {"/b.MOV"}}));
        QCOMPARE(deepest, 1);
        QCOMPARE(first.get(), HandOver::Delivered);
        QCOMPARE(second.get(), HandOver::Delivered);
    }

    // A connection that does not send one whole, valid message soon is dropped, and
    // nothing is opened; a message that arrives in pieces is taken.
    void connectionsThatDoNotHandOver_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("piece");
        QTest::addColumn<bool>("taken");
        const QByteArray message = Message({"/cam/REC0001.MOV", "/cam/REC0002.ts"});
        QTest::newRow("a byte at a time") << message << 1 << true;
        QTest::newRow("garbage") << QByteArray("GET / HTTP/1.0\r\n\r\n") << 0 << false;
        QTest::newRow("silent") << QByteArray() << 0 << false;
        QTest::newRow("half a message, then silent") << message.left(20) << 0 << false;
        QTest::newRow("more than 1 MB")
            << QByteArray("VTH1\x00\x20\x00\x00", 8) + QByteArray(1100000, 'x') << 0 << false;
    }
    void connectionsThatDoNotHandOver() {
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
        QByteArray got;
        QLocalSocket* peer = nullptr;
        connect(&other, &QLocalServer::newConnection, this, [&] {
            peer = other.nextPendingConnection();
            connect(peer, &QLocalSocket::readyRead, this, [&] { got += peer->readAll(); });
        });
        std::future<HandOver> start = LaterStart(name_, {"/a.MOV"}, geteuid() + 1);
        QTRY_VERIFY(Ended(start));
        QCOMPARE(start.get(), HandOver::Failed);
        QTRY_VERIFY(peer != nullptr && peer->state() == QLocalSocket::UnconnectedState);
        QCOMPARE(got, QByteArray());
    }

    // Without a runtime folder of this user alone, the socket goes in a folder of the
    // temporary folder that only this user can enter; anything else there means no
    // hand-over rather than a socket others can listen on or block.
    void socketFolder_data() {
        QTest::addColumn<bool>("runtime");     // XDG_RUNTIME_DIR set
        QTest::addColumn<int>("runtimeMode");  // of that folder
        QTest::addColumn<QString>("planted");  // what was in the temporary folder before
        QTest::addColumn<QString>("expected");
        const QString own = QStringLiteral("tmp/vantrail-%1").arg(geteuid());
        QTest::newRow("runtime folder") << true << 0700 << ""
                                        << "run/vantrail-:9.socket";
        QTest::newRow("runtime folder open to others")
            << true << 0755 << "" << own + "/vantrail-:9.socket";
        QTest::newRow("no runtime folder") << false << 0 << "" << own + "/vantrail-:9.socket";
        QTest::newRow("a file at the old socket path")
            << false << 0 << "old-file" << own + "/vantrail-:9.socket";
        QTest::newRow("our folder already")
            << false << 0 << "folder" << own + "/vantrail-:9.socket";
        QTest::newRow("a file in the folder's place") << false << 0 << "file"
                                                      << "";
        QTest::newRow("a link in the folder's place") << false << 0 << "link"
                                                      << "";
        QTest::newRow("the folder open to others") << false << 0 << "open folder"
                                                   << "";
        QTest::newRow("another user's folder") << false << 0 << "given away"
                                               << "";
    }
    void socketFolder() {
        QFETCH(bool, runtime);
        QFETCH(int, runtimeMode);
        QFETCH(QString, planted);
        QFETCH(QString, expected);
        const QTemporaryDir root;
        QDir dir(root.path());
        QVERIFY(dir.mkpath("run") && dir.mkpath("tmp") && dir.mkpath("elsewhere"));
        QVERIFY(chmod(QFile::encodeName(root.filePath("run")), mode_t(runtimeMode)) == 0);
        const QString own = root.filePath(QStringLiteral("tmp/vantrail-%1").arg(geteuid()));
        if (planted == "old-file" || planted == "file") {
            QFile file(
                planted == "file"
                    ? own
                    : root.filePath(QStringLiteral("tmp/%1-vantrail-:9.socket").arg(geteuid())));
            QVERIFY(file.open(QIODevice::WriteOnly));
        } else if (planted == "link") {
            QVERIFY(chmod(QFile::encodeName(root.filePath("elsewhere")), 0700) == 0);
            QVERIFY(QFile::link(root.filePath("elsewhere"), own));
        } else if (!planted.isEmpty()) {
            QVERIFY(dir.mkpath(own));
            QVERIFY(chmod(QFile::encodeName(own), planted == "open folder" ? 0777 : 0700) == 0);
        }
        if (planted == "given away" && chown(QFile::encodeName(own), 65534, 65534) != 0)
            QSKIP("only root can give a folder to another user");
        qputenv("DISPLAY", ":9");
        qunsetenv("WAYLAND_DISPLAY");
        qputenv("TMPDIR", QFile::encodeName(root.filePath("tmp")));
        if (runtime)
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(root.filePath("run")));
        else
            qunsetenv("XDG_RUNTIME_DIR");
        QString why;
        const QString name = InstanceServerName(&why);
        QCOMPARE(name, expected.isEmpty() ? QString() : root.filePath(expected));
        QCOMPARE(why.isEmpty(), !expected.isEmpty());
        struct stat made {};
        if (expected.startsWith("tmp/"))
            QVERIFY(lstat(QFile::encodeName(own), &made) == 0 && (made.st_mode & 0777) == 0700);
    }
};

QTEST_GUILESS_MAIN(TestInstanceServer)
#include "test_instance_server.moc"
