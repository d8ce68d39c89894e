#include "platform/WriteInPlace.h"

#include "platform/FileSystem.h"
#include "platform/Sha256.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <pwd.h>
#include <stdexcept>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace envio::fs {
namespace {

// The backup's first line; what follows it is "nuevo HASH\n", "anterior HASH SIZE\n", an empty
// line and the previous bytes.
constexpr std::string_view kMagic = "envio-documentos respaldo 1\n";
constexpr int kAttempts = 20;
constexpr auto kPause = std::chrono::milliseconds(50);

std::runtime_error writeError(const std::filesystem::path& path, int error) {
    return std::runtime_error("No se pudo escribir el archivo " + path.string() + ": " +
                              std::strerror(error));
}

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor& operator=(Descriptor&&) = delete;
    ~Descriptor() { close(); }

    [[nodiscard]] int get() const { return fd_; }
    [[nodiscard]] bool valid() const { return fd_ >= 0; }
    void close() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

private:
    int fd_;
};

std::optional<std::string> readAll(int fd) {
    std::string bytes;
    std::array<char, 65536> buffer{};
    for (off_t offset = 0;;) {
        const ssize_t got = ::pread(fd, buffer.data(), buffer.size(), offset);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return std::nullopt;
        }
        if (got == 0) {
            return bytes;
        }
        bytes.append(buffer.data(), static_cast<std::size_t>(got));
        offset += got;
    }
}

// From the file's start, never appending: O_APPEND makes the share fail with EIO.
void replaceContents(int fd, std::string_view bytes, const std::filesystem::path& path) {
    for (off_t offset = 0; !bytes.empty();) {
        const ssize_t written = ::pwrite(fd, bytes.data(), bytes.size(), offset);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0) {
            throw writeError(path, errno);
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
        offset += written;
    }
}

void flushContents(int fd, std::string_view bytes, const std::filesystem::path& path) {
    replaceContents(fd, bytes, path);
    if (::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0 || ::fsync(fd) != 0) {
        throw writeError(path, errno);
    }
}

bool putBack(int fd, std::string_view previous, const std::filesystem::path& path) {
    try {
        flushContents(fd, previous, path);
        return true;
    } catch (const std::runtime_error&) {
        return false;
    }
}

void syncFolder(const std::filesystem::path& folder) {
    const Descriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.valid()) {
        ::fsync(fd.get());
    }
}

// The share refuses to remove a file for a moment after it was closed (EBUSY): a short, bounded
// wait. A backup that stays is harmless: the next recovery finds the write finished.
void removeFile(const std::filesystem::path& path) {
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (::unlink(path.c_str()) == 0 || errno != EBUSY) {
            return;
        }
        std::this_thread::sleep_for(kPause);
    }
}

std::filesystem::path backupBeside(const std::filesystem::path& file) {
    return file.parent_path() / ("." + file.filename().string() + ".respaldo");
}

// Named after the file's absolute path: one state folder serves every program folder.
std::filesystem::path backupInStateFolder(const std::filesystem::path& file) {
    std::error_code error;
    const auto absolute = std::filesystem::absolute(file, error).lexically_normal();
    return stateFolder() / (sha256OfText(absolute.string()).substr(0, 32) + ".respaldo");
}

std::string encodeBackup(std::string_view previous, std::string_view bytes) {
    return std::string(kMagic) + "nuevo " + sha256OfText(bytes) + "\nanterior " +
           sha256OfText(previous) + " " + std::to_string(previous.size()) + "\n\n" +
           std::string(previous);
}

struct Backup {
    enum class Kind { NotOurs, Torn, Complete } kind = Kind::NotOurs;
    std::string newHash;
    std::string previous;
};

// A backup is complete only when the previous bytes it holds are all there and match their
// hash; anything shorter was cut by a crash while it was being written.
Backup decodeBackup(std::string_view text) {
    if (!text.starts_with(kMagic)) {
        return {kMagic.starts_with(text) ? Backup::Kind::Torn : Backup::Kind::NotOurs, {}, {}};
    }
    text.remove_prefix(kMagic.size());
    const auto end = text.find("\n\n");
    if (end == std::string_view::npos) {
        return {Backup::Kind::Torn, {}, {}};
    }
    std::size_t size = 0;
    const std::string header(text.substr(0, end));
    char newHash[65] = {};
    char previousHash[65] = {};
    if (std::sscanf(header.c_str(), "nuevo %64s\nanterior %64s %zu", newHash, previousHash,
                    &size) != 3) {
        return {Backup::Kind::Torn, {}, {}};
    }
    const std::string_view previous = text.substr(end + 2);
    if (previous.size() != size || sha256OfText(previous) != previousHash) {
        return {Backup::Kind::Torn, {}, {}};
    }
    return {Backup::Kind::Complete, newHash, std::string(previous)};
}

void recoverFrom(const std::filesystem::path& file, const std::filesystem::path& backupPath) {
    Descriptor backup(::open(backupPath.c_str(), O_RDONLY | O_CLOEXEC));
    // A lock held means a write of this machine is under way: not a leftover.
    if (!backup.valid() || ::flock(backup.get(), LOCK_EX | LOCK_NB) != 0) {
        return;
    }
    const auto text = readAll(backup.get());
    if (!text) {
        return;
    }
    const Backup saved = decodeBackup(*text);
    if (saved.kind == Backup::Kind::NotOurs) {
        return;
    }
    // A torn backup means the file was never touched: it is written only after the backup
    // was complete and flushed.
    if (saved.kind == Backup::Kind::Complete) {
        Descriptor target(::open(file.c_str(), O_RDWR | O_CLOEXEC));
        const auto current = target.valid() ? readAll(target.get()) : std::nullopt;
        if (!current) {
            return;
        }
        if (sha256OfText(*current) != saved.newHash && *current != saved.previous &&
            !putBack(target.get(), saved.previous, file)) {
            return;
        }
    }
    backup.close();
    removeFile(backupPath);
}

struct SavedBackup {
    std::filesystem::path path;
    Descriptor fd;
};

Descriptor createBackup(std::filesystem::path& backup, const std::filesystem::path& file) {
    constexpr int kFlags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC;
    backup = backupBeside(file);
    Descriptor fd(::open(backup.c_str(), kFlags, 0600));
    if (!fd.valid() && (errno == EACCES || errno == EPERM || errno == EROFS)) {
        // A folder the user may not add files to: the file itself may still be writable.
        backup = backupInStateFolder(file);
        std::error_code ignored;
        std::filesystem::create_directories(backup.parent_path(), ignored);
        return Descriptor(::open(backup.c_str(), kFlags, 0600));
    }
    return fd;
}

// Waits a moment for another write of this file under way on this machine.
Descriptor openBackup(std::filesystem::path& backup, const std::filesystem::path& file) {
    for (int attempt = 0;; ++attempt) {
        recoverInterruptedWrite(file);
        Descriptor fd = createBackup(backup, file);
        const int error = errno;
        if (fd.valid()) {
            return fd;
        }
        if (error != EEXIST || attempt == kAttempts) {
            throw writeError(file, error == EEXIST ? EBUSY : error);
        }
        std::this_thread::sleep_for(kPause);
    }
}

SavedBackup saveBackup(const std::filesystem::path& file, std::string_view previous,
                       std::string_view bytes) {
    std::filesystem::path path;
    Descriptor fd = openBackup(path, file);
    ::flock(fd.get(), LOCK_EX); // tells this machine's other processes that it is no leftover
    try {
        replaceContents(fd.get(), encodeBackup(previous, bytes), path);
        if (::fsync(fd.get()) != 0) {
            throw writeError(file, errno);
        }
    } catch (const std::runtime_error&) {
        fd.close();
        removeFile(path);
        throw;
    }
    syncFolder(path.parent_path());
    return SavedBackup{std::move(path), std::move(fd)};
}

} // namespace

std::filesystem::path stateFolder() {
    if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && *state == '/') {
        return std::filesystem::path(state) / "envio-documentos";
    }
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') {
        const passwd* user = ::getpwuid(::getuid());
        home = user != nullptr ? user->pw_dir : "/";
    }
    return std::filesystem::path(home) / ".local" / "state" / "envio-documentos";
}

void writeFileInPlace(const std::filesystem::path& requested, std::string_view bytes,
                      const WriteObserver& observer) {
    const std::filesystem::path file = followSymlinks(requested);
    recoverInterruptedWrite(file); // the bytes read below go into the new backup
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) {
        if (errno != ENOENT) {
            throw writeError(file, errno);
        }
        writeFileAtomically(file, bytes);
        return;
    }
    // Root may write into a file marked read-only; the suite's users mean it to stay as it is.
    if ((info.st_mode & 0222) == 0 || ::access(file.c_str(), W_OK) != 0) {
        throw writeError(file, EACCES);
    }
    const Descriptor target(::open(file.c_str(), O_RDWR | O_CLOEXEC));
    const auto previous = target.valid() ? readAll(target.get()) : std::nullopt;
    if (!previous) {
        throw writeError(file, errno);
    }
    SavedBackup backup = saveBackup(file, *previous, bytes);
    if (observer) {
        observer(WriteStage::BackupSaved);
    }
    try {
        flushContents(target.get(), bytes, file);
    } catch (const std::runtime_error&) {
        if (putBack(target.get(), *previous, file)) {
            backup.fd.close();
            removeFile(backup.path);
        }
        throw;
    }
    if (observer) {
        observer(WriteStage::ContentsWritten);
    }
    backup.fd.close();
    removeFile(backup.path);
}

void recoverInterruptedWrite(const std::filesystem::path& path) noexcept {
    try {
        const std::filesystem::path file = followSymlinks(path);
        recoverFrom(file, backupBeside(file));
        recoverFrom(file, backupInStateFolder(file));
    } catch (const std::exception&) {
        // Kept for the next time: the file is read as it is.
    }
}

} // namespace envio::fs
