#include "platform/SqliteJournal.h"

#include "platform/FileSystem.h"

namespace envio {

const char* journalModeStatement(const std::filesystem::path& path) {
    return fs::isNetworkFileSystem(path) ? "PRAGMA journal_mode = PERSIST" : nullptr;
}

bool writeAheadLogFor(const std::filesystem::path& path) {
    return !fs::isNetworkFileSystem(path);
}

} // namespace envio
