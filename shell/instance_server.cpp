#include "shell/instance_server.h"

#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>

#include <unistd.h>

namespace {
constexpr auto kStreamVersion = QDataStream::Qt_6_4;
constexpr char kTaken = '1';
// A local socket connects at once or not at all; the answer follows the paths' arrival,
// before they are opened.
constexpr int kConnectMs = 2000;
constexpr int kAnswerMs = 5000;
}  // namespace

QString InstanceServerName() {
    // One instance per user and display, as the window check finds windows on its display.
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY", qEnvironmentVariable("DISPLAY"));
    display.replace('/', '_');
    const QString name = display.isEmpty() ? QStringLiteral("vantrail.socket")
                                           : QStringLiteral("vantrail-%1.socket").arg(display);
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return runtime + '/' + name;
    return QDir::tempPath() + QStringLiteral("/%1-%2").arg(getuid()).arg(name);
}

HandOver HandOverPaths(const QString& server, const QStringList& paths, QString* why) {
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
    QByteArray message;
    QDataStream out(&message, QIODevice::WriteOnly);
    out.setVersion(kStreamVersion);
    out << paths;
    socket.write(message);
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

void CInstanceServer::Accept() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            QDataStream in(socket);
            in.setVersion(kStreamVersion);
            in.startTransaction();
            QStringList paths;
            in >> paths;
            if (!in.commitTransaction())
                return;  // the rest is still on its way; the device rolled back
            socket->putChar(kTaken);
            socket->flush();
            emit PathsReceived(paths);
        });
    }
}
