#include "platform/FileSystem.h"

#include "settings/Windows1252.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>
#include <vector>

namespace envio::fs {
namespace {

std::runtime_error writeError(const std::filesystem::path& path, int error) {
    return std::runtime_error("No se pudo escribir el archivo " + path.string() + ": " +
                              std::strerror(error));
}

void writeAll(int fd, std::string_view bytes, const std::filesystem::path& path) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw writeError(path, errno);
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

std::string temporaryName(const std::filesystem::path& path) {
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    return "." + path.filename().string() + "." + std::to_string(::getpid()) + "." +
           std::to_string(generator() % 1000000) + ".tmp";
}

void syncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

std::vector<std::string> splitPath(std::string_view text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= text.size()) {
        auto end = text.find_first_of("\\/", start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view part = text.substr(start, end - start);
        if (!part.empty() && part != ".") {
            parts.emplace_back(part);
        }
        start = end + 1;
    }
    return parts;
}

} // namespace

bool sameNameIgnoringCase(std::string_view a, std::string_view b) {
    return a == b || equalsIgnoringCaseWindows1252(utf8ToWindows1252(a), utf8ToWindows1252(b));
}

std::optional<std::filesystem::path> findIgnoringCase(const std::filesystem::path& folder,
                                                      std::string_view name) {
    std::error_code error;
    const std::filesystem::path exact = folder / std::filesystem::path(std::string(name));
    if (std::filesystem::exists(exact, error)) {
        return exact;
    }
    std::vector<std::filesystem::path> matches;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        if (sameNameIgnoringCase(it->path().filename().string(), name)) {
            matches.push_back(it->path());
        }
    }
    if (matches.empty()) {
        return std::nullopt;
    }
    return *std::min_element(matches.begin(), matches.end());
}

std::filesystem::path resolveInFolder(const std::filesystem::path& folder, std::string_view name) {
    if (auto found = findIgnoringCase(folder, name)) {
        return *found;
    }
    return folder / std::filesystem::path(std::string(name));
}

std::filesystem::path resolvePathIgnoringCase(std::string_view text) {
    std::filesystem::path result;
    if (!text.empty() && (text.front() == '/' || text.front() == '\\')) {
        result = "/";
    }
    bool missing = false;
    for (const std::string& part : splitPath(text)) {
        if (!missing && part != "..") {
            const auto found = findIgnoringCase(result.empty() ? "." : result, part);
            missing = !found;
            if (found) {
                result = result.empty() ? found->filename() : *found;
                continue;
            }
        }
        result /= part;
    }
    return result;
}

// Read in large pieces into a buffer sized from the file's length: a character at a time through
// a stream took a third of a millisecond for each 100 KB document a run attaches.
std::optional<std::string> readFile(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat info {};
    std::string bytes;
    if (::fstat(fd, &info) == 0 && info.st_size > 0) {
        bytes.reserve(static_cast<std::size_t>(info.st_size));
    }
    std::array<char, 65536> piece{};
    for (;;) {
        const ssize_t n = ::read(fd, piece.data(), piece.size());
        if (n > 0) {
            bytes.append(piece.data(), static_cast<std::size_t>(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            const int error = errno;
            ::close(fd);
            errno = error; // the caller may name it
            return std::nullopt;
        }
    }
    ::close(fd);
    return bytes;
}

std::filesystem::path followSymlinks(const std::filesystem::path& requested) {
    std::filesystem::path path = requested;
    struct stat link {};
    for (int hops = 0; ::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode); ++hops) {
        std::error_code error;
        const std::filesystem::path target = std::filesystem::read_symlink(path, error);
        if (error || hops == 8) {
            throw writeError(requested, error ? error.value() : ELOOP);
        }
        path = target.is_absolute() ? target : (path.parent_path() / target).lexically_normal();
    }
    return path;
}

void writeFileAtomically(const std::filesystem::path& requested, std::string_view bytes) {
    // A link is followed, to a file not there yet too: the new contents replace the file it
    // names, and the link stays a link.
    const std::filesystem::path path = followSymlinks(requested);
    const std::filesystem::path folder = path.parent_path();
    const std::filesystem::path temporary = folder / temporaryName(path);
    mode_t mode = 0644;
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0) {
        mode = existing.st_mode & 07777;
        // A rename needs only the folder's permission: a file marked read-only (no write bit
        // at all, or none for this user) is refused as writing into it would be.
        if ((mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0) {
            throw writeError(path, EACCES);
        }
    }
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) {
        throw writeError(path, errno);
    }
    try {
        writeAll(fd, bytes, path);
        if (::fsync(fd) != 0) {
            throw writeError(path, errno);
        }
    } catch (...) {
        ::close(fd);
        ::unlink(temporary.c_str());
        throw;
    }
    ::close(fd);
    ::chmod(temporary.c_str(), mode); // the umask may have narrowed it
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw writeError(path, error);
    }
    syncFolder(folder);
}

namespace {

// Works on Windows-1252 bytes so that one "?" matches one accented letter.
bool matchFrom(std::string_view name, std::string_view pattern) {
    std::size_t n = 0;
    std::size_t p = 0;
    std::size_t starP = std::string_view::npos;
    std::size_t starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == '?' ||
                    foldWindows1252(static_cast<unsigned char>(pattern[p])) ==
                        foldWindows1252(static_cast<unsigned char>(name[n])))) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

} // namespace

Stamp stampOf(const std::filesystem::path& path) {
    std::error_code error;
    Stamp stamp;
    stamp.modified = std::filesystem::last_write_time(path, error);
    if (std::filesystem::is_regular_file(path, error)) {
        stamp.size = std::filesystem::file_size(path, error);
    }
    return stamp;
}

bool matchesWildcard(std::string_view name, std::string_view pattern) {
    return matchFrom(utf8ToWindows1252(name), utf8ToWindows1252(pattern));
}

std::vector<ListedFile> listWildcard(const std::filesystem::path& folder,
                                     std::string_view pattern) {
    // readdir and fstatat on the open folder: a month holds thousands of documents, and a stat
    // by full path walks the whole path again for each of them.
    std::vector<std::pair<std::string, ListedFile>> found; // folded name, file
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return {};
    }
    const std::string folded = utf8ToWindows1252(pattern);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (!matchFrom(utf8ToWindows1252(name), folded)) {
            continue;
        }
        struct stat info {};
        if (::fstatat(::dirfd(dir), entry->d_name, &info, 0) != 0 || !S_ISREG(info.st_mode)) {
            continue;
        }
        std::string key = utf8ToWindows1252(name);
        for (auto& c : key) {
            c = static_cast<char>(foldWindows1252(static_cast<unsigned char>(c)));
        }
        found.emplace_back(std::move(key),
                           ListedFile{name, static_cast<std::uintmax_t>(info.st_size)});
    }
    ::closedir(dir);
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<ListedFile> files;
    files.reserve(found.size());
    for (auto& entry : found) {
        files.push_back(std::move(entry.second));
    }
    return files;
}

namespace {

template <typename Operation> int retryWhileBusy(Operation operation, bool existsIsBusy = false) {
    // The server answers EBUSY until it has closed its own handle: measured at under 50 ms
    // after a close; a second covers a slow server without hanging a run on a file that is
    // really open elsewhere.
    constexpr int kTries = 40;
    for (int attempt = 0;; ++attempt) {
        if (operation() == 0) {
            return 0;
        }
        if ((errno != EBUSY && !(existsIsBusy && errno == EEXIST)) || attempt + 1 == kTries) {
            return errno;
        }
        ::usleep(25'000);
    }
}

// 0 moved, EEXIST when `to` exists, another errno when this way does not work here.
int moveWith(NoReplaceMethod method, const std::filesystem::path& from,
             const std::filesystem::path& to) {
    switch (method) {
    case NoReplaceMethod::RenameFlag:
        return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0
                   ? 0
                   : errno;
    case NoReplaceMethod::HardLink:
        if (::link(from.c_str(), to.c_str()) != 0) {
            return errno;
        }
        removeRetryingWhileBusy(from);
        return 0;
    case NoReplaceMethod::Placeholder: {
        const int fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            return errno;
        }
        ::close(fd);
        const int error = renameRetryingWhileBusy(from, to);
        if (error != 0) {
            removeRetryingWhileBusy(to);
        }
        return error;
    }
    }
    return EINVAL;
}

bool isUnsupported(int error) {
    return error == EINVAL || error == ENOSYS || error == EPERM || error == EOPNOTSUPP ||
           error == ENOTSUP;
}

} // namespace

int renameRetryingWhileBusy(const std::filesystem::path& from, const std::filesystem::path& to) {
    return retryWhileBusy([&] { return ::rename(from.c_str(), to.c_str()); });
}

int replaceRetryingWhileBusy(const std::filesystem::path& from, const std::filesystem::path& to) {
    return retryWhileBusy([&] { return ::rename(from.c_str(), to.c_str()); }, true);
}

int removeRetryingWhileBusy(const std::filesystem::path& path) {
    return retryWhileBusy([&] { return ::unlink(path.c_str()); });
}

bool renameWithoutReplacing(const std::filesystem::path& from, const std::filesystem::path& to,
                            std::span<const NoReplaceMethod> methods) {
    int error = ENOSYS;
    for (const NoReplaceMethod method : methods) {
        error = moveWith(method, from, to);
        if (error == 0) {
            return true;
        }
        if (error == EEXIST) {
            return false;
        }
        if (!isUnsupported(error)) {
            break;
        }
    }
    throw std::runtime_error("No se pudo mover " + from.string() + " a " + to.string() + ": " +
                             std::strerror(error));
}

bool isNetworkFileSystem(const std::filesystem::path& path) {
    constexpr unsigned long kSmb2 = 0xFE534D42;
    constexpr unsigned long kCifs = 0xFF534D42;
    constexpr unsigned long kSmb = 0x517B;
    constexpr unsigned long kNfs = 0x6969;
    constexpr unsigned long kFuse = 0x65735546;
    constexpr unsigned long k9p = 0x01021997;
    constexpr unsigned long kCeph = 0x00C36400;
    struct statfs info {};
    std::filesystem::path probe = path;
    // A file not written yet: its folder tells.
    while (::statfs(probe.c_str(), &info) != 0) {
        if (!probe.has_parent_path() || probe.parent_path() == probe) {
            return false;
        }
        probe = probe.parent_path();
    }
    const auto type = static_cast<unsigned long>(info.f_type);
    return type == kSmb2 || type == kCifs || type == kSmb || type == kNfs || type == kFuse ||
           type == k9p || type == kCeph;
}

} // namespace envio::fs
