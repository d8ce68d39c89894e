#include "AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace jetwriter::detail {
namespace {

[[noreturn]] void ioError(const std::string& what, const std::filesystem::path& path) {
    throw std::runtime_error(what + " " + path.string() + ": " + std::strerror(errno));
}

} // namespace

void writeAtomically(const std::filesystem::path& path,
                     const std::function<void(std::FILE*)>& fill) {
    std::string temporary = path.string() + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        ioError("cannot create a temporary file for", path);
    // mkstemp creates the file private to us; a database is meant to be shared like any document.
    ::fchmod(fd, 0644);
    std::FILE* file = ::fdopen(fd, "wb");
    if (file == nullptr) {
        ::close(fd);
        ::unlink(temporary.c_str());
        ioError("cannot write", path);
    }
    try {
        fill(file);
        if (std::fflush(file) != 0 || ::fsync(fd) != 0)
            ioError("cannot write", path);
    } catch (...) {
        std::fclose(file);
        ::unlink(temporary.c_str());
        throw;
    }
    if (std::fclose(file) != 0 || std::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        errno = error;
        ioError("cannot write", path);
    }
}

} // namespace jetwriter::detail
