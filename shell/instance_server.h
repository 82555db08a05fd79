#pragma once
// Hand-over between starts of the player: the running instance listens on a local socket
// of its user; a later start sends it the paths of its command line and ends.

#include <QLocalServer>
#include <QObject>
#include <QStringList>

#include <sys/types.h>
#include <unistd.h>

#include <deque>

// $XDG_RUNTIME_DIR/vantrail-DISPLAY.socket; when there is no runtime folder private to this
// user, the same name in the private folder vantrail-UID of the temporary folder, made on
// first use. Empty, with `why`, when that folder is not private (another user's, a link, a
// file, open to others): the player then runs without hand-over.
QString InstanceServerName(QString* why);

enum class HandOver {
    NoInstance,  // nobody listens: this start becomes the running instance
    Delivered,   // the running instance took the paths
    Failed,      // someone listens but did not take them; `why` says what went wrong
};

// Sends the paths only to a server of the user `owner` (this user; other values stand in for
// someone else's server in tests).
HandOver HandOverPaths(const QString& server, const QStringList& paths, QString* why,
                       uid_t owner = geteuid());

class CInstanceServer : public QObject {
    Q_OBJECT

public:
    explicit CInstanceServer(QObject* parent = nullptr);

    // Listens on `server`, taking over a socket file that a crashed instance left behind.
    bool Listen(const QString& server, QString* why);

    // Queues paths for PathsReceived behind those handed over before, as a hand-over does.
    void Deliver(const QStringList& paths);

signals:
    // Paths to open (empty when a later start had none). Emitted from the event loop, one
    // list at a time: a list that arrives while a receiver still acts on the previous one
    // (in a message box's loop, say) waits until it returns.
    void PathsReceived(const QStringList& paths);

private:
    void Accept();
    void DeliverNext();

    QLocalServer server_;
    std::deque<QStringList> waiting_;
    bool delivering_ = false;
};
