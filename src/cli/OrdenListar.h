#pragma once

#include "catalogue/Catalogo.h"
#include "cli/LineaDeOrdenes.h"
#include "host/ContextoAnfitrion.h"

#include <ostream>

namespace envio::cli {

// The selection that the window would start with, changed by the command's options. Throws
// ErrorDeOpciones for a type this mode does not have.
SeleccionPeriodo seleccionDeOpciones(const Opciones& opciones, const ContextoAnfitrion& contexto);

// --listar: writes the list that the main window would show, one document per line. Returns the
// exit status.
int ordenListar(const Opciones& opciones, const CarpetaPrograma& carpeta, const Reloj& reloj,
                std::ostream& salida, std::ostream& errores);

} // namespace envio::cli
