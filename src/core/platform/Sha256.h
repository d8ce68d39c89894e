#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace envio {

// The SHA-256 of a file's bytes in lower-case hex, or nothing when it cannot be read. Tells
// whether the file under a name is still the document that was mailed.
std::optional<std::string> sha256DeArchivo(const std::filesystem::path& archivo);

// The SHA-256 of a text in lower-case hex: a name that any file system accepts.
std::string sha256DeTexto(std::string_view texto);

} // namespace envio
