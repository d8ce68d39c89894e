#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace envio {

// The loopback end of a browser sign-in (RFC 8252, 7.3): listens on 127.0.0.1, and on ::1 at
// the same port where the machine has it, on a port the system picks, until the browser comes
// back with the answer.
class LoopbackListener {
public:
    // Throws std::system_error when no port can be opened.
    LoopbackListener();
    ~LoopbackListener();
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    [[nodiscard]] std::uint16_t port() const { return port_; }

    // Waits for a GET of `path` and returns its query string, after answering it with `page`
    // (HTML). Other requests (a browser's /favicon.ico) get 404 and the wait goes on. Nothing
    // when `timeout` runs out or `cancel` is set.
    std::optional<std::string> waitForRequest(std::string_view path, std::string_view page,
                                              std::chrono::milliseconds timeout,
                                              const std::atomic<bool>* cancel = nullptr);

private:
    int ipv4_ = -1;
    int ipv6_ = -1;
    std::uint16_t port_ = 0;
};

} // namespace envio
