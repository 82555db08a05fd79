#include "shell/instance_server.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QTimer>

#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "app/hand_over_message.h"
#include "app/private_folder.h"

namespace {
constexpr char kTaken = '1';
// A local socket connects at once or not at all; the answer follows the paths' arrival,
// before they are opened.
constexpr int kConnectMs = 2000;
constexpr int kAnswerMs = 5000;
// A later start sends its whole message as soon as it connects: a connection that has not
// within this time is dropped.
constexpr int kMessageMs = 3000;

std::string Bytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// The user behind the other end of a connected local socket.
bool PeerUser(const QLocalSocket& socket, uid_t* user, QString* why) {
    ucred peer{};
    socklen_t size = sizeof peer;
    if (getsockopt(static_cast<int>(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer,
                   &size) != 0) {
        *why = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    *user = peer.uid;
    return true;
}

void Drop(QLocalSocket* socket) {
    socket->abort();
    socket->deleteLater();
}
}  // namespace

QString InstanceServerName(QString* why) {
    // One instance per user and display, as the window check finds windows on its display.
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY", qEnvironmentVariable("DISPLAY"));
    display.replace('/', '_');
    const QString name = display.isEmpty() ? QStringLiteral("vantrail.socket")
                                           : QStringLiteral("vantrail-%1.socket").arg(display);
    std::string problem;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && IsPrivateFolder(Bytes(runtime), &problem))
        return runtime + '/' + name;
    // In a shared temporary folder anyone could have put a socket or a file under our name.
    const QString folder = QDir::tempPath() + QStringLiteral("/vantrail-%1").arg(geteuid());
    if (!MakePrivateFolder(Bytes(folder), &problem)) {
        *why = QFile::decodeName(problem.c_str());
        return {};
    }
    return folder + '/' + name;
}

HandOver HandOverPaths(const QString& server, const QStringList& paths, QString* why, uid_t owner) {
    QLocalSocket socket;
    socket.connectToServer(server);
    if (!socket.waitForConnected(kConnectMs)) {
        // A socket file without a listener is what a crashed instance leaves.
        if (socket.error() == QLocalSocket::ServerNotFoundError ||
            socket.error() == QLocalSocket::ConnectionRefusedError)
            return HandOver::NoInstance;
        *why = socket.errorString();
        return HandOver::Failed;
    }
    uid_t user = 0;
    if (!PeerUser(socket, &user, why))
        return HandOver::Failed;
    if (user != owner) {
        *why = QStringLiteral("%1 is held by user %2, not by you; nothing was sent to it")
                   .arg(server)
                   .arg(user);
        return HandOver::Failed;
    }
    std::vector<std::string> names;
    for (const QString& path : paths) names.push_back(Bytes(path));
    const std::optional<std::string> message = EncodeHandOver(names);
    if (!message) {
        *why = QStringLiteral("the paths are more than a hand-over takes (%1 bytes)")
                   .arg(kHandOverMaxBytes);
        return HandOver::Failed;
    }
    socket.write(message->data(), static_cast<qint64>(message->size()));
    char answer = 0;
    if (!socket.waitForBytesWritten(kAnswerMs) || !socket.waitForReadyRead(kAnswerMs) ||
        !socket.getChar(&answer) || answer != kTaken) {
        *why = QStringLiteral("the running instance did not answer on %1 (%2)")
                   .arg(server, socket.errorString());
        return HandOver::Failed;
    }
    return HandOver::Delivered;
}

CInstanceServer::CInstanceServer(QObject* parent) : QObject(parent) {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &CInstanceServer::Accept);
}

bool CInstanceServer::Listen(const QString& server, QString* why) {
    QLocalServer::removeServer(server);
    if (server_.listen(server))
        return true;
    *why = server_.errorString();
    return false;
}

void CInstanceServer::Deliver(const QStringList& paths) {
    waiting_.push_back(paths);
    QMetaObject::invokeMethod(this, &CInstanceServer::DeliverNext, Qt::QueuedConnection);
}

void CInstanceServer::DeliverNext() {
    if (delivering_ || waiting_.empty())
        return;
    const QStringList paths = waiting_.front();
    waiting_.pop_front();
    delivering_ = true;
    emit PathsReceived(paths);
    delivering_ = false;
    if (!waiting_.empty())
        QMetaObject::invokeMethod(this, &CInstanceServer::DeliverNext, Qt::QueuedConnection);
}

void CInstanceServer::Accept() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        // The socket is done with before anything is opened: opening may show a message box,
        // whose event loop would otherwise delete the socket under its own signal.
        auto reader = std::make_shared<HandOverReader>();
        const auto read = [this, socket, reader] {
            if (reader->Current() != HandOverReader::State::Reading)
                return;
            const QByteArray bytes = socket->readAll();
            switch (reader->Feed({bytes.constData(), static_cast<size_t>(bytes.size())})) {
                case HandOverReader::State::Reading:
                    return;
                case HandOverReader::State::Refused:
                    Drop(socket);
                    return;
                case HandOverReader::State::Complete:
                    break;
            }
            socket->putChar(kTaken);
            socket->disconnectFromServer();  // once the answer is written
            QStringList paths;
            for (const std::string& path : reader->Paths())
                paths << QFile::decodeName(QByteArray::fromStdString(path));
            Deliver(paths);
        };
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, read);
        QTimer::singleShot(kMessageMs, socket, [socket, reader] {
            // Bytes that waited behind a busy window still count.
            socket->waitForReadyRead(0);
            if (reader->Current() == HandOverReader::State::Reading)
                Drop(socket);
        });
    }
}
