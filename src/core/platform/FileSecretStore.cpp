#include "platform/FileSystem.h"
#include "platform/SecretStore.h"
#include "platform/Sha256.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace envio {
namespace {

std::string systemError(const std::string& what, const std::filesystem::path& path) {
    return what + " " + path.string() + ": " + std::strerror(errno);
}

void writeAll(int fd, const std::string& bytes, const std::filesystem::path& path) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            throw SecretStoreError(systemError("No se pudo escribir", path));
        }
        done += static_cast<std::size_t>(n);
    }
}

std::unique_ptr<SecretStore>& installedStore() {
    static std::unique_ptr<SecretStore> store =
        std::make_unique<FileSecretStore>(FileSecretStore::defaultFolder());
    return store;
}

} // namespace

FileSecretStore::FileSecretStore(std::filesystem::path folder) : folder_(std::move(folder)) {}

std::filesystem::path FileSecretStore::defaultFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    std::filesystem::path base;
    if (config != nullptr && *config == '/') {
        base = config;
    } else {
        base = std::filesystem::path(home != nullptr ? home : "/") / ".config";
    }
    return base / "envio-documentos" / "sesiones";
}

std::filesystem::path FileSecretStore::pathOf(const std::string& key) const {
    // A hash: any key makes a valid name, and the folder's listing does not tell the accounts.
    return folder_ / (sha256OfText(key).substr(0, 32) + ".secreto");
}

std::optional<std::string> FileSecretStore::read(const std::string& key) {
    const auto path = pathOf(key);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) {
            return std::nullopt;
        }
        throw SecretStoreError(systemError("No se pudo leer", path));
    }
    std::string bytes;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)) {
        if (n > 0) {
            bytes.append(buffer, static_cast<std::size_t>(n));
        }
    }
    const int readError = n < 0 ? errno : 0;
    ::close(fd);
    if (readError != 0) {
        errno = readError;
        throw SecretStoreError(systemError("No se pudo leer", path));
    }
    return bytes;
}

void FileSecretStore::write(const std::string& key, const std::string& secret) {
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    // Tightened even when it was there: the secrets are nobody else's business.
    if (::chmod(folder_.c_str(), 0700) != 0) {
        throw SecretStoreError(systemError("No se pudo preparar la carpeta", folder_));
    }
    const auto path = pathOf(key);
    auto temporary = path;
    temporary += ".nuevo-" + std::to_string(::getpid());
    // Created 0600 from the start, so no other user can open it between creation and chmod.
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        throw SecretStoreError(systemError("No se pudo crear", temporary));
    }
    try {
        writeAll(fd, secret, temporary);
        if (::fsync(fd) != 0) {
            throw SecretStoreError(systemError("No se pudo escribir", temporary));
        }
    } catch (...) {
        ::close(fd);
        ::unlink(temporary.c_str());
        throw;
    }
    ::close(fd);
    // A rename: the old secret or the new one, never half of either. A home folder may be on a
    // share, where replacing a file another machine holds open is refused for a moment.
    if (const int error = fs::replaceRetryingWhileBusy(temporary, path); error != 0) {
        errno = error;
        const std::string message = systemError("No se pudo guardar", path);
        ::unlink(temporary.c_str());
        throw SecretStoreError(message);
    }
}

void FileSecretStore::erase(const std::string& key) {
    const auto path = pathOf(key);
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        throw SecretStoreError(systemError("No se pudo borrar", path));
    }
}

SecretStore& programSecretStore() {
    return *installedStore();
}

void installProgramSecretStore(std::unique_ptr<SecretStore> store) {
    installedStore() = std::move(store);
}

} // namespace envio
