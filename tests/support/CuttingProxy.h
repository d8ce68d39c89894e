#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

namespace envio::test {

// A TCP relay on 127.0.0.1 to another local port that can cut every connection it carries, the
// way a server closes an idle connection between two messages of a run (aiosmtpd would only do
// it after minutes). Throws std::runtime_error when it cannot listen.
class CuttingProxy {
public:
    explicit CuttingProxy(std::uint16_t target);
    ~CuttingProxy();
    CuttingProxy(const CuttingProxy&) = delete;
    CuttingProxy& operator=(const CuttingProxy&) = delete;

    [[nodiscard]] std::uint16_t port() const { return port_; }
    // Connections accepted so far.
    [[nodiscard]] int accepted() const { return accepted_; }
    // Closes both ends of every open connection; returns once they are closed.
    void cutAll();

private:
    void serve();

    std::uint16_t target_;
    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<int> accepted_{0};
    std::atomic<bool> cutting_{false};
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

} // namespace envio::test
