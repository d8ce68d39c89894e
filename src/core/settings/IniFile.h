#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace envio {

// One value of a settings file. A missing file, section or key gives `porDefecto`; a key with
// nothing after its equals sign gives the empty text. At most 256 characters come back.
std::string LeerIni(const std::filesystem::path& archivo, std::string_view seccion,
                    std::string_view clave, std::string_view porDefecto);

// Writes one value, creating the file, the section and the key when missing; line breaks in the
// value become blanks. The callers ignore the outcome, as the suite's own programs do; it is
// returned all the same so that a caller that can tell the user may do so.
bool EscribirIni(const std::filesystem::path& archivo, std::string_view seccion,
                 std::string_view clave, std::string_view valor);

// The letters of `texto` that this settings file would store as "?" (blank separated, each
// once): none when the file is UTF-8, the code page's missing ones otherwise.
std::string letrasQueNoCaben(const std::filesystem::path& archivo, std::string_view texto);

} // namespace envio
