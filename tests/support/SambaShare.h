#pragma once

#include "ChildProcess.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace envio::test {

// Samba or FUSE cannot run on this machine; the message says why, for the test to skip with it.
class ShareUnavailable : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A private Samba server (smbd) on 127.0.0.1, serving one share from a temporary folder, and
// FUSE mounts of that share through smbnetfs, each standing for another machine of the office.
// Everything lives in one temporary folder: the server's configuration, databases, logs and
// served folder, and the clients' configurations and mount points. The server listens on a port
// of its own (smbnetfs reaches it as HOST:PORT), so it needs neither port 445 nor a system user:
// it serves the share as root, with a password in its own database.
//
// The destructor unmounts every client, stops the processes and removes the folder, also after
// a failed assertion; the processes also get SIGTERM if the test process dies.
class SambaShare {
public:
    // Why no share can be tried here (not root, no /dev/fuse, smbd or smbnetfs missing), or
    // nothing. The constructor checks it too.
    static std::optional<std::string> unavailableReason();

    // Starts the server; throws ShareUnavailable with the server's log when it does not start.
    SambaShare();
    ~SambaShare();

    SambaShare(const SambaShare&) = delete;
    SambaShare& operator=(const SambaShare&) = delete;

    // Mounts the share for one more client and returns the share's folder on that mount; throws
    // ShareUnavailable with smbnetfs's output when the mount does not come up.
    std::filesystem::path mount();

    // The served folder on the server's own disk.
    [[nodiscard]] std::filesystem::path serverFolder() const;

private:
    struct Client {
        std::filesystem::path mountPoint;
        std::unique_ptr<ChildProcess> process;
    };

    void startServer();
    void writeServerConfiguration() const;
    void unmount(Client& client) noexcept;
    void tearDown() noexcept;
    [[nodiscard]] std::string log(const std::string& name) const;

    std::filesystem::path folder_;
    std::uint16_t port_ = 0;
    std::unique_ptr<ChildProcess> server_;
    std::vector<Client> clients_;
};

} // namespace envio::test
