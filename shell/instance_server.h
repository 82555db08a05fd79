#pragma once
// Hand-over between starts of the player: the running instance listens on a local socket
// of its user; a later start sends it the paths of its command line and ends.

#include <QLocalServer>
#include <QObject>
#include <QStringList>

// $XDG_RUNTIME_DIR/vantrail-DISPLAY.socket, or the same name after the user id in the
// temporary folder when there is no runtime folder.
QString InstanceServerName();

enum class HandOver {
    NoInstance,  // nobody listens: this start becomes the running instance
    Delivered,   // the running instance took the paths
    Failed,      // someone listens but did not take them; `why` says what went wrong
};

HandOver HandOverPaths(const QString& server, const QStringList& paths, QString* why);

class CInstanceServer : public QObject {
    Q_OBJECT

public:
    explicit CInstanceServer(QObject* parent = nullptr);

    // Listens on `server`, taking over a socket file that a crashed instance left behind.
    bool Listen(const QString& server, QString* why);

signals:
    // Paths a later start handed over (empty when it had none).
    void PathsReceived(const QStringList& paths);

private:
    void Accept();

    QLocalServer server_;
};
