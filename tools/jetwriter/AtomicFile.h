#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>

namespace jetwriter::detail {

// Lets `fill` write a temporary file in the target's folder, flushes it to disk and
// renames it over `path`; on any failure the temporary file is removed and `path` is
// left as it was. Throws std::runtime_error for I/O errors; rethrows what `fill` throws.
void writeAtomically(const std::filesystem::path& path,
                     const std::function<void(std::FILE*)>& fill);

} // namespace jetwriter::detail
