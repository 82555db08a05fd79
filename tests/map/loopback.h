#pragma once
// Servers on 127.0.0.1 for the map tests: nothing here reaches past loopback.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <httplib.h>

#include <QByteArray>
#include <QRegularExpression>

#include <atomic>
#include <string>
#include <thread>

// An HTTP server for the handlers a test registers, on a free loopback port.
class LoopbackHttpServer {
public:
    httplib::Server server;

    ~LoopbackHttpServer() {
        if (thread_.joinable()) {
            server.stop();
            thread_.join();
        }
    }
    // Any address of 127.0.0.0/8 is loopback: another one is another origin on this machine.
    void Start(const std::string& host = "127.0.0.1") {
        // Stopping waits for idle keep-alive connections, so keep them short.
        server.set_keep_alive_timeout(1);
        host_ = host;
        port_ = server.bind_to_any_port(host);
        thread_ = std::thread([this] { server.listen_after_bind(); });
        // A stop before the loop runs would be lost, and the join would wait for ever.
        while (port_ > 0 && !server.is_running()) std::this_thread::yield();
    }
    int Port() const { return port_; }
    std::string Url(const std::string& path) const {
        return "http://" + host_ + ":" + std::to_string(port_) + path;
    }

private:
    std::string host_;
    int port_ = -1;
    std::thread thread_;
};

inline int ListeningSocket(int* port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&a), len) == 0 && listen(fd, 8) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0) {
        *port = ntohs(a.sin_port);
        return fd;
    }
    if (fd >= 0)
        close(fd);
    return -1;
}

// A loopback port with nothing listening on it.
inline int UnusedPort() {
    int port = 0;
    const int fd = ListeningSocket(&port);
    if (fd >= 0)
        close(fd);
    return port;
}

// Answers each request, one connection at a time, with a fixed head and the start of a body,
// then by its ending: closes the connection, or streams filler without end (up to kEndlessCap
// bytes). Counts the body bytes it got out.
class RawServer {
public:
    enum Ending { kClose, kEndless };
    static constexpr long long kEndlessCap = 64LL << 20;

    RawServer(std::string head, std::string body, Ending ending = kClose)
        : head_(std::move(head)), body_(std::move(body)), ending_(ending) {}
    ~RawServer() { Stop(); }
    bool Start() {
        fd_ = ListeningSocket(&port_);
        if (fd_ >= 0)
            thread_ = std::thread([this] {
                for (int client; (client = accept(fd_, nullptr, nullptr)) >= 0; close(client))
                    Answer(client);
            });
        return fd_ >= 0;
    }
    void Stop() {
        if (fd_ >= 0) {
            shutdown(fd_, SHUT_RDWR);
            thread_.join();
            close(fd_);
            fd_ = -1;
        }
    }
    int Port() const { return port_; }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }
    long long BodySent() const { return bodySent_; }

private:
    void Answer(int client) {
        ReadRequest(client);
        const std::string start = head_ + body_;
        if (send(client, start.data(), start.size(), MSG_NOSIGNAL) < 0)
            return;
        bodySent_ = static_cast<long long>(body_.size());
        const std::string filler(1 << 16, 'x');
        while (ending_ == kEndless && bodySent_ < kEndlessCap) {
            const ssize_t n = send(client, filler.data(), filler.size(), MSG_NOSIGNAL);
            if (n <= 0)
                return;
            bodySent_ += n;
        }
    }
    static void ReadRequest(int client) {
        static const QRegularExpression length("\r\ncontent-length: *(\\d+)",
                                               QRegularExpression::CaseInsensitiveOption);
        QByteArray bytes;
        char buffer[4096];
        for (;;) {
            const int end = bytes.indexOf("\r\n\r\n");
            if (end >= 0) {
                const auto m = length.match(QString::fromLatin1(bytes.left(end + 2)));
                if (bytes.size() >= end + 4 + (m.hasMatch() ? m.captured(1).toInt() : 0))
                    return;
            }
            const ssize_t n = recv(client, buffer, sizeof buffer, 0);
            if (n <= 0)
                return;
            bytes.append(buffer, static_cast<int>(n));
        }
    }

    std::string head_;
    std::string body_;
    Ending ending_;
    int fd_ = -1;
    int port_ = 0;
    std::atomic<long long> bodySent_{0};
    std::thread thread_;
};
