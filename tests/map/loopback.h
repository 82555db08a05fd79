#pragma once
// Servers on 127.0.0.1 for the map tests: nothing here reaches past loopback.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <httplib.h>

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
