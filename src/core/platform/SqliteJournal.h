#pragma once

#include <filesystem>

namespace envio {

// The PRAGMA that chooses how SQLite keeps its rollback journal for a database at `path`. On a
// network share SQLite's default (delete the journal after each commit) fails one commit in
// eight: the server refuses the delete while it has not yet closed the file. There the journal
// is kept and only its header is cleared. Nothing (null) where SQLite's default is sound.
const char* journalModeStatement(const std::filesystem::path& path);

} // namespace envio
