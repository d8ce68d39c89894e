#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace envio {

// The SHA-256 of a file's bytes in lower-case hex, or nothing when it cannot be read. Tells
// whether the file under a name is still the document that was mailed.
std::optional<std::string> sha256DeArchivo(const std::filesystem::path& archivo);

} // namespace envio
