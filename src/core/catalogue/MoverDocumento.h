#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace envio {

// Moves a document to its new name in one rename, so it is never anywhere but under its old or
// its new name. A different file that already has the new name is never overwritten: the
// document takes the first free name with " (2)", " (3)", ... before its extension (before
// ".ENVIADO.PDF" for a sent name). Returns where it went; throws std::runtime_error with the
// user's words when it cannot move (vanished, read-only folder).
std::filesystem::path moverDocumento(const std::filesystem::path& origen,
                                     const std::filesystem::path& destino);

// The names moverDocumento tries for `destino`, in its order, for as long as a file has them:
// where a document it moved there may be now.
std::vector<std::filesystem::path> nombresOcupados(const std::filesystem::path& destino);

// Drops the last `n` characters of a UTF-8 text (not bytes: names carry accents).
std::string sinUltimosCaracteres(const std::string& texto, std::size_t n);

} // namespace envio
