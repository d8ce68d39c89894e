#pragma once

#include <filesystem>

namespace envio {

// The folder that holds the running executable (where the suite keeps KRN.INI when the program
// is installed beside it).
std::filesystem::path executableFolder();

} // namespace envio
