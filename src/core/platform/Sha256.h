#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace envio {

// The SHA-256 of a file's bytes in lower-case hex, or nothing when it cannot be read. Tells
// whether the file under a name is still the document that was mailed.
std::optional<std::string> sha256OfFile(const std::filesystem::path& path);

// The SHA-256 of a text in lower-case hex: a name that any file system accepts.
std::string sha256OfText(std::string_view text);

} // namespace envio
