#include "CuttingProxy.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace envio::test {
namespace {

sockaddr_in loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

void closeBoth(std::pair<int, int> connection) {
    ::close(connection.first);
    ::close(connection.second);
}

// Writes all of `size` bytes unless the other end is gone.
void writeAll(int fd, const char* data, std::size_t size) {
    std::size_t written = 0;
    while (written < size) {
        const ssize_t count = ::write(fd, data + written, size - written);
        if (count <= 0) {
            return;
        }
        written += static_cast<std::size_t>(count);
    }
}

} // namespace

CuttingProxy::CuttingProxy(std::uint16_t target) : target_(target) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::listen(listener_, 8) != 0) {
        const int error = errno;
        if (listener_ >= 0) {
            ::close(listener_);
        }
        throw std::runtime_error(std::string("the cutting proxy cannot listen: ") +
                                 std::strerror(error));
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
}

CuttingProxy::~CuttingProxy() {
    finished_ = true;
    thread_.join();
    ::close(listener_);
}

void CuttingProxy::cutAll() {
    cutting_ = true;
    while (cutting_) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void CuttingProxy::serve() {
    std::vector<std::pair<int, int>> connections; // client side, server side
    while (!finished_) {
        if (cutting_) {
            for (const auto& connection : connections) {
                // A server that hangs up sends its TLS close alert first; the byte left unread
                // makes libcurl 7.88 take the connection for a live one.
                writeAll(connection.first, "\x15", 1);
                closeBoth(connection);
            }
            connections.clear();
            cutting_ = false;
        }
        std::vector<pollfd> watched{{listener_, POLLIN, 0}};
        for (const auto& [client, server] : connections) {
            watched.push_back({client, POLLIN, 0});
            watched.push_back({server, POLLIN, 0});
        }
        if (::poll(watched.data(), watched.size(), 20) <= 0) {
            continue;
        }
        if (watched[0].revents & POLLIN) {
            const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            const sockaddr_in address = loopback(target_);
            if (client >= 0 && server >= 0 &&
                ::connect(server, reinterpret_cast<const sockaddr*>(&address), sizeof address) ==
                    0) {
                connections.emplace_back(client, server);
                ++accepted_;
            } else {
                // The client sees its connection closed, as when the server is down.
                closeBoth({client, server});
            }
        }
        std::vector<bool> closed(connections.size(), false);
        for (std::size_t i = 1; i < watched.size(); ++i) {
            const std::size_t pair = (i - 1) / 2;
            if (!(watched[i].revents & (POLLIN | POLLHUP)) || closed[pair]) {
                continue;
            }
            const int from = watched[i].fd;
            const int to = from == connections[pair].first ? connections[pair].second
                                                           : connections[pair].first;
            char buffer[16384];
            const ssize_t count = ::read(from, buffer, sizeof buffer);
            if (count > 0) {
                writeAll(to, buffer, static_cast<std::size_t>(count));
            } else {
                closeBoth(connections[pair]);
                closed[pair] = true;
            }
        }
        for (std::size_t k = connections.size(); k-- > 0;) {
            if (closed[k]) {
                connections.erase(connections.begin() + static_cast<std::ptrdiff_t>(k));
            }
        }
    }
    for (const auto& connection : connections) {
        closeBoth(connection);
    }
}

} // namespace envio::test
