#include "platform/LoopbackListener.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

namespace envio {
namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void fail(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

void sendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return; // the browser went away; nothing to tell it
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

void reply(int fd, std::string_view status, std::string_view page) {
    std::string text = "HTTP/1.1 " + std::string(status) +
                       "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                       std::to_string(page.size()) + "\r\nConnection: close\r\n\r\n";
    text += page;
    sendAll(fd, text);
}

// The request line of one request, read within the time left; empty when none came.
std::string readRequestLine(int fd, Clock::time_point deadline) {
    std::string data;
    while (data.find("\r\n\r\n") == std::string::npos && data.size() < 16384) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            break;
        }
        char buffer[2048];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            break;
        }
        data.append(buffer, static_cast<std::size_t>(n));
    }
    return data.substr(0, data.find("\r\n"));
}

} // namespace

LoopbackListener::LoopbackListener() {
    ipv4_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (ipv4_ < 0) {
        fail("socket");
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(ipv4_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(ipv4_, 8) != 0 ||
        ::getsockname(ipv4_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        const int error = errno;
        ::close(ipv4_);
        errno = error;
        fail("loopback");
    }
    port_ = ntohs(address.sin_port);
    // A browser may resolve "localhost" to ::1 first; the same port there too where it is free.
    ipv6_ = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (ipv6_ >= 0) {
        int only = 1;
        ::setsockopt(ipv6_, IPPROTO_IPV6, IPV6_V6ONLY, &only, sizeof only);
        sockaddr_in6 address6{};
        address6.sin6_family = AF_INET6;
        address6.sin6_addr = in6addr_loopback;
        address6.sin6_port = htons(port_);
        if (::bind(ipv6_, reinterpret_cast<sockaddr*>(&address6), sizeof address6) != 0 ||
            ::listen(ipv6_, 8) != 0) {
            ::close(ipv6_);
            ipv6_ = -1;
        }
    }
}

LoopbackListener::~LoopbackListener() {
    ::close(ipv4_);
    if (ipv6_ >= 0) {
        ::close(ipv6_);
    }
}

std::optional<std::string> LoopbackListener::waitForRequest(std::string_view path,
                                                            std::string_view page,
                                                            std::chrono::milliseconds timeout,
                                                            const std::atomic<bool>* cancel) {
    const auto deadline = Clock::now() + timeout;
    // Short polls, so that a cancel is seen within a fraction of a second.
    constexpr int slice = 200;
    while (Clock::now() < deadline && (cancel == nullptr || !*cancel)) {
        pollfd sockets[2] = {{ipv4_, POLLIN, 0}, {ipv6_, POLLIN, 0}};
        const int ready = ::poll(sockets, ipv6_ >= 0 ? 2 : 1, slice);
        if (ready <= 0) {
            continue;
        }
        for (const pollfd& s : sockets) {
            if (s.fd < 0 || (s.revents & POLLIN) == 0) {
                continue;
            }
            const int client = ::accept4(s.fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) {
                continue;
            }
            // "GET /path?query HTTP/1.1"
            const std::string line = readRequestLine(
                client, std::min(deadline, Clock::now() + std::chrono::seconds(10)));
            const auto firstBlank = line.find(' ');
            const auto secondBlank = line.find(' ', firstBlank + 1);
            std::string target = firstBlank == std::string::npos
                                     ? std::string()
                                     : line.substr(firstBlank + 1, secondBlank - firstBlank - 1);
            const auto question = target.find('?');
            const std::string targetPath = target.substr(0, question);
            if (line.starts_with("GET ") && targetPath == path) {
                reply(client, "200 OK", page);
                ::close(client);
                return question == std::string::npos ? std::string() : target.substr(question + 1);
            }
            reply(client, "404 Not Found", "");
            ::close(client);
        }
    }
    return std::nullopt;
}

} // namespace envio
