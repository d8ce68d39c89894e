#pragma once

#include <filesystem>
#include <functional>
#include <string_view>

namespace envio::fs {

// Rewriting a file that others share (the suite's settings file on a network share) keeps the
// file itself: its owner, group, mode and access lists stay, and a folder the user may not
// write to is no obstacle. A backup of the previous bytes, with the SHA-256 of the new ones,
// is made durable first, so that an interrupted write can be undone or completed later:
//   1. the backup goes beside the file (".NAME.respaldo") or, when the folder refuses new
//      files, into the user's state folder; it is flushed before the file is touched;
//   2. the new bytes are written over the file from its start and the rest cut off, flushed;
//   3. the backup is removed.
// A leftover backup is resolved by recoverInterruptedWrite: when the file holds the new bytes
// the write finished and the backup goes; otherwise the previous bytes are put back.

// The stages a write has reached, told to an observer (tests stop a write there).
enum class WriteStage { BackupSaved, ContentsWritten };
using WriteObserver = std::function<void(WriteStage)>;

// $XDG_STATE_HOME/envio-documentos, or ~/.local/state/envio-documentos without it.
std::filesystem::path stateFolder();

// Writes `bytes` as the whole contents of `path` as above. A file not there yet is written
// through writeFileAtomically instead. Follows a symbolic link to its file and refuses a file
// that is read-only. Throws std::runtime_error with the user's words; the file then holds its
// previous bytes.
void writeFileInPlace(const std::filesystem::path& path, std::string_view bytes,
                      const WriteObserver& observer = {});

// Completes or undoes a write of `path` that was interrupted, if any. A write in progress in
// another process of this machine is left alone. Never throws: what cannot be resolved now is
// kept for the next time.
void recoverInterruptedWrite(const std::filesystem::path& path) noexcept;

} // namespace envio::fs
