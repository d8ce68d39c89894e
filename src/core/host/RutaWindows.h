#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace envio {

// A path the suite wrote on Windows that starts at a drive or at a network share:
// "D:\GESTION\EMPRESA.MDB", "d:/gestion", "\\servidor\recurso\GESTION".
struct RutaWindows {
    std::string raiz;  // "D:" (the letter in upper case) or "\\servidor\recurso"
    std::string resto; // what follows the root, without leading separators; may be empty
};

// Nothing for every other path: relative ones, bare file names, Linux paths and those that start
// with a single backslash (today's meaning: from the root of this machine).
std::optional<RutaWindows> separarRutaWindows(std::string_view texto);

// Whether two roots name the same drive or share: Windows ignores letter case in both.
bool mismaRaiz(std::string_view a, std::string_view b);

} // namespace envio
