#pragma once

#include "platform/Shell.h"

#include <filesystem>
#include <string_view>

namespace envio {

// Shows a document with its associated program, working in the program folder.
int AbrirDocumento(Shell& shell, const std::filesystem::path& archivo, std::string_view parametros,
                   const std::filesystem::path& carpetaPrograma);

} // namespace envio
