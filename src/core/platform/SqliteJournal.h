#pragma once

#include <filesystem>

namespace envio {

// The PRAGMA that chooses how SQLite keeps its rollback journal for a database at `path`. On a
// network share SQLite's default (delete the journal after each commit) fails one commit in
// eight: the server refuses the delete while it has not yet closed the file. There the journal
// is kept and only its header is cleared. Nothing (null) where SQLite's default is sound.
const char* journalModeStatement(const std::filesystem::path& path);

// Whether the program's own files that a run writes once or more per document (the ledger, the
// work table) keep a write-ahead log at `path`: on a local disk a commit is then one append to
// one file that is never deleted meanwhile, and waits for the disk only when asked to. Never on
// a share: the log's index lives in memory that only one machine sees; journalModeStatement
// holds there.
bool writeAheadLogFor(const std::filesystem::path& path);

} // namespace envio
