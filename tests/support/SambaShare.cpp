#include "SambaShare.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace envio::test {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr const char* user = "root";
constexpr const char* password = "secret";
constexpr const char* shareName = "share";
// Both start in well under a second here; the bound only stops a test that would hang.
constexpr auto startTimeout = std::chrono::seconds(20);
constexpr auto stopGrace = milliseconds(5000);
constexpr auto pollInterval = milliseconds(20);
// The kernel refuses to unmount while a file on the mount is still open; a run that was just
// killed may hold one for a moment.
constexpr auto unmountPatience = milliseconds(2000);

std::optional<std::filesystem::path> findProgram(const std::string& name) {
    std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    // smbd lives in sbin, which a non-login root shell may not have on PATH.
    path += ":/usr/sbin:/sbin:/usr/bin:/bin";
    std::stringstream folders(path);
    for (std::string folder; std::getline(folders, folder, ':');) {
        const auto candidate = std::filesystem::path(folder) / name;
        if (!folder.empty() && ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return std::nullopt;
}

std::filesystem::path requireProgram(const std::string& name) {
    if (auto found = findProgram(name)) {
        return *found;
    }
    throw ShareUnavailable(name + " is not installed (scripts/setup installs samba, smbclient "
                                  "and smbnetfs)");
}

void writeText(const std::filesystem::path& file, const std::string& text,
               std::filesystem::perms mode = std::filesystem::perms::owner_read |
                                             std::filesystem::perms::owner_write) {
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out) {
            throw std::runtime_error("cannot write " + file.string());
        }
    }
    // smbnetfs refuses a configuration holding a password that others may read.
    std::filesystem::permissions(file, mode);
}

std::string readText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A port the system has just handed out and taken back; smbd binds it a moment later.
std::uint16_t freePort() {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    const bool bound = s >= 0 && ::bind(s, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
                       ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    if (s >= 0) {
        ::close(s);
    }
    if (!bound) {
        throw ShareUnavailable(std::string("no free port on 127.0.0.1: ") + std::strerror(errno));
    }
    return ntohs(address.sin_port);
}

bool accepts(std::uint16_t port) {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const bool connected =
        s >= 0 && ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (s >= 0) {
        ::close(s);
    }
    return connected;
}

bool isMountPoint(const std::filesystem::path& folder) {
    struct stat self {};
    struct stat parent {};
    return ::stat(folder.c_str(), &self) == 0 &&
           ::stat(folder.parent_path().c_str(), &parent) == 0 && self.st_dev != parent.st_dev;
}

} // namespace

std::optional<std::string> SambaShare::unavailableReason() {
    if (::geteuid() != 0) {
        return "a FUSE mount and a Samba server of our own need root here";
    }
    const int fuse = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
    if (fuse < 0) {
        return std::string("cannot open /dev/fuse: ") + std::strerror(errno);
    }
    ::close(fuse);
    for (const char* program : {"smbd", "smbpasswd", "smbnetfs"}) {
        if (!findProgram(program)) {
            return std::string(program) +
                   " is not installed (scripts/setup installs samba, smbclient and smbnetfs)";
        }
    }
    return std::nullopt;
}

SambaShare::SambaShare() {
    if (const auto reason = unavailableReason()) {
        throw ShareUnavailable(*reason);
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "envio-smb-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create the share's temporary folder");
    }
    folder_ = pattern;
    try {
        for (const char* sub : {"srv", "state", "private", "state/ncalrpc"}) {
            std::filesystem::create_directories(folder_ / sub);
        }
        startServer();
    } catch (...) {
        tearDown();
        throw;
    }
}

SambaShare::~SambaShare() {
    tearDown();
}

void SambaShare::tearDown() noexcept {
    for (auto client = clients_.rbegin(); client != clients_.rend(); ++client) {
        unmount(*client);
    }
    clients_.clear();
    if (server_) {
        server_->stop(stopGrace);
        server_.reset();
    }
    if (!folder_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
        folder_.clear();
    }
}

std::filesystem::path SambaShare::serverFolder() const {
    return folder_ / "srv";
}

void SambaShare::writeServerConfiguration() const {
    const std::string f = folder_.string();
    std::ostringstream conf;
    conf << "[global]\n"
         << "interfaces = 127.0.0.1\nbind interfaces only = yes\n"
         << "smb ports = " << port_ << "\n"
         << "server role = standalone server\ndisable netbios = yes\n"
         << "load printers = no\nprintcap name = /dev/null\ndisable spoolss = yes\n"
         << "server min protocol = SMB2_02\n"
         << "pid directory = " << f << "/state\nlock directory = " << f << "/state\n"
         << "state directory = " << f << "/state\ncache directory = " << f << "/state\n"
         << "ncalrpc dir = " << f << "/state/ncalrpc\n"
         << "private dir = " << f << "/private\nlog file = " << f << "/smbd.log\n"
         << "[" << shareName << "]\npath = " << f << "/srv\nread only = no\n"
         << "valid users = " << user << "\nforce user = " << user << "\n";
    writeText(folder_ / "smb.conf", conf.str());
}

void SambaShare::startServer() {
    const auto smbd = requireProgram("smbd");
    const auto conf = (folder_ / "smb.conf").string();
    // Another program may take the port between our check and smbd's bind: try a few.
    for (int attempt = 0; attempt < 3; ++attempt) {
        port_ = freePort();
        writeServerConfiguration();
        if (attempt == 0) {
            writeText(folder_ / "password", std::string(password) + "\n" + password + "\n");
            ProcessOptions o;
            o.standardInput = folder_ / "password";
            o.standardOutput = o.standardError = folder_ / "smbpasswd.out";
            if (runProgram({requireProgram("smbpasswd").string(), "-c", conf, "-s", "-a", user},
                           o) != 0) {
                throw ShareUnavailable("smbpasswd failed: " + log("smbpasswd.out"));
            }
        }
        ProcessOptions o;
        o.standardOutput = o.standardError = folder_ / "smbd.out";
        o.ownProcessGroup = true;
        o.stopWithTest = true;
        server_ = std::make_unique<ChildProcess>(
            std::vector<std::string>{smbd.string(), "--foreground", "--no-process-group", "-s",
                                     conf},
            o);
        const auto deadline = Clock::now() + startTimeout;
        while (server_->running() && Clock::now() < deadline) {
            if (accepts(port_)) {
                return;
            }
            std::this_thread::sleep_for(pollInterval);
        }
        server_->stop(stopGrace);
        server_.reset();
    }
    throw ShareUnavailable("smbd did not start: " + log("smbd.out") + log("smbd.log"));
}

std::filesystem::path SambaShare::mount() {
    const auto smbnetfs = requireProgram("smbnetfs");
    const auto client = folder_ / ("client" + std::to_string(clients_.size() + 1));
    const auto home = client / "home";
    std::filesystem::create_directories(home / ".smb");
    std::filesystem::create_directories(client / "mnt");
    writeText(home / ".smb" / "smb.conf",
              "[global]\nclient min protocol = SMB2_02\nclient max protocol = SMB3\n"
              "disable netbios = yes\nname resolve order = host\n");
    const auto conf = home / ".smb" / "smbnetfs.conf";
    writeText(conf, std::string("smb_query_browsers \"false\"\nauth \"") + user + "\" \"" +
                        password +
                        "\"\nhost \"127.0.0.1\" visible=true\nuse_libsecret \"false\"\n");

    ProcessOptions o;
    o.standardOutput = o.standardError = client / "smbnetfs.out";
    o.environment = {"HOME=" + home.string()};
    o.stopWithTest = true;
    clients_.push_back(
        {client / "mnt", std::make_unique<ChildProcess>(
                             std::vector<std::string>{smbnetfs.string(), (client / "mnt").string(),
                                                      "-f", "-o", "config=" + conf.string()},
                             o)});
    Client& added = clients_.back();
    const auto share = added.mountPoint / ("127.0.0.1:" + std::to_string(port_)) / shareName;
    const auto deadline = Clock::now() + startTimeout;
    while (added.process->running() && Clock::now() < deadline) {
        std::error_code e;
        if (isMountPoint(added.mountPoint) && std::filesystem::is_directory(share, e)) {
            return share;
        }
        std::this_thread::sleep_for(pollInterval);
    }
    throw ShareUnavailable("smbnetfs did not mount the share: " +
                           log((client.filename() / "smbnetfs.out").string()));
}

void SambaShare::unmount(Client& client) noexcept {
    // Tried even when the mount looks gone: a dead smbnetfs leaves a mount that stat refuses.
    const auto deadline = Clock::now() + unmountPatience;
    for (;;) {
        if (::umount2(client.mountPoint.c_str(), 0) == 0 || errno != EBUSY) {
            break;
        }
        if (Clock::now() >= deadline) {
            // Detached now, gone from the kernel once the last open file closes.
            ::umount2(client.mountPoint.c_str(), MNT_DETACH);
            break;
        }
        std::this_thread::sleep_for(pollInterval);
    }
    if (client.process) {
        client.process->stop(stopGrace);
    }
}

std::string SambaShare::log(const std::string& name) const {
    return readText(folder_ / name);
}

} // namespace envio::test
