#pragma once

#include "cli/LineaDeOrdenes.h"

#include <filesystem>
#include <ostream>

namespace envio::cli {

// --historial: every attempt of every machine that the options let through, newest first, one
// per line with its fields separated by tabs. Returns the exit status.
int ordenHistorial(const Opciones& opciones, const std::filesystem::path& carpetaPrograma,
                   std::ostream& salida, std::ostream& errores);

} // namespace envio::cli
