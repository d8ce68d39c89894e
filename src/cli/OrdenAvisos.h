#pragma once

#include "cli/LineaDeOrdenes.h"
#include "cli/OrdenEnviar.h"
#include "host/CarpetaPrograma.h"
#include "platform/Reloj.h"

#include <ostream>

namespace envio::cli {

// --avisos: the notice of the window "Comunicaciones masivas", from the template stored in the
// settings file, to the rows that --grupo (the group filter) or --seleccion todo checks. The
// question is answered Yes (the command is the confirmation); the boxes go to `errores`.
// Exit status as for --enviar: 0 when every checked row was sent, 1 when some were not, 2 when
// the run could not start or ended in its error exit.
int ordenAvisos(const Opciones& opciones, const CarpetaPrograma& carpeta, const Reloj& reloj,
                const CreadorInformePdf& crearInforme, std::ostream& salida, std::ostream& errores);

} // namespace envio::cli
