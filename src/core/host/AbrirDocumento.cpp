#include "host/AbrirDocumento.h"

namespace envio {

bool AbrirDocumento(Shell& shell, const std::filesystem::path& archivo, std::string_view parametros,
                    const std::filesystem::path& carpetaPrograma) {
    return shell.open(archivo, parametros, carpetaPrograma);
}

} // namespace envio
