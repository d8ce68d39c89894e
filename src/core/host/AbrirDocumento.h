#pragma once

#include "platform/Shell.h"

#include <filesystem>
#include <string_view>

namespace envio {

// Shows a document with its associated program, working in the program folder. False when the
// desktop could not open it.
bool AbrirDocumento(Shell& shell, const std::filesystem::path& archivo, std::string_view parametros,
                    const std::filesystem::path& carpetaPrograma);

} // namespace envio
