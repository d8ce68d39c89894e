#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace envio::fs {

// The suite and its settings come from Windows, where file names are not case-sensitive and
// paths use backslashes. These look-ups let the same folders work on a case-sensitive disk.

// Letter-case folding for file names (ASCII and accented Latin letters).
bool sameNameIgnoringCase(std::string_view a, std::string_view b);

// The entry of `folder` named `name` without regard to case: the exact name when it exists,
// otherwise the first match in name order; nothing when none matches.
std::optional<std::filesystem::path> findIgnoringCase(const std::filesystem::path& folder,
                                                      std::string_view name);

// `folder`/`name` as it exists on disk, or `folder`/`name` as given when nothing matches.
std::filesystem::path resolveInFolder(const std::filesystem::path& folder, std::string_view name);

// A path written by the suite ("D:\Suite\datos\KRN.mdb", "/srv/suite/Datos") split on both
// separators, each component found without regard to case. Components that do not exist are
// kept as written, so the result names the intended place even when it is missing.
std::filesystem::path resolvePathIgnoringCase(std::string_view text);

std::optional<std::string> readFile(const std::filesystem::path& path);

// The file that `path` names once symbolic links are followed, to a file not there yet too.
// Throws std::runtime_error for a link that cannot be read or a loop of links.
std::filesystem::path followSymlinks(const std::filesystem::path& path);

// Writes a temporary file beside `path`, flushes it to disk and renames it over `path`, so a
// crash leaves either the old file or the new one, never a half-written one. Keeps the
// permissions of the file it replaces, follows a symbolic link to its file and refuses a file
// that is read-only. Throws std::runtime_error with the user's words.
void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes);

// When and how large: tells whether a file or folder changed since it was last read.
struct Stamp {
    std::filesystem::file_time_type modified{};
    std::uintmax_t size = 0;
    bool operator==(const Stamp&) const = default;
};
Stamp stampOf(const std::filesystem::path& path);

// Windows file-name patterns: "?" is exactly one character, "*" any run, letters compared
// without regard to case.
bool matchesWildcard(std::string_view name, std::string_view pattern);

struct ListedFile {
    std::string name;
    std::uintmax_t size = 0;
};

// The regular files in `folder` whose names match `pattern`, with their sizes, in name order
// without regard to case (the order the suite's own disks list them in). A missing folder lists
// nothing.
std::vector<ListedFile> listWildcard(const std::filesystem::path& folder, std::string_view pattern);

// The ways of moving a file without replacing another, tried in this order. A network share may
// refuse the first two (SMB through FUSE gives EINVAL for the rename flag and EPERM for links);
// the placeholder always works where exclusive creation does: `to` is created empty with
// O_EXCL, so no other writer can take the name, then the file is renamed over it.
enum class NoReplaceMethod { RenameFlag, HardLink, Placeholder };
inline constexpr NoReplaceMethod kEveryNoReplaceMethod[] = {
    NoReplaceMethod::RenameFlag, NoReplaceMethod::HardLink, NoReplaceMethod::Placeholder};

// Renames `from` to `to`, unless `to` exists: then nothing moves and the answer is false. Throws
// std::runtime_error with the user's words when the rename itself fails. `methods` is for tests
// that force one way.
bool renameWithoutReplacing(const std::filesystem::path& from, const std::filesystem::path& to,
                            std::span<const NoReplaceMethod> methods = kEveryNoReplaceMethod);

// rename() and unlink() that wait a moment while the file is busy: an SMB server refuses both
// for a file open anywhere, and for a short while after this process closed it. Return errno,
// 0 on success.
int renameRetryingWhileBusy(const std::filesystem::path& from, const std::filesystem::path& to);
// rename() over an existing file: through smbnetfs the server refuses it while another machine
// has the file open, with EBUSY or with EEXIST; both pass in a moment.
int replaceRetryingWhileBusy(const std::filesystem::path& from, const std::filesystem::path& to);
int removeRetryingWhileBusy(const std::filesystem::path& path);

// True when `path` lies on a file system that other machines may reach at the same time (SMB,
// NFS, or any FUSE mount, which is how a Linux desktop reaches a share): there locks are not
// seen across machines and a file cannot be deleted while open.
bool isNetworkFileSystem(const std::filesystem::path& path);

} // namespace envio::fs
