#pragma once

#include "cli/LineaDeOrdenes.h"
#include "host/CarpetaPrograma.h"
#include "platform/Reloj.h"
#include "report/VisorInforme.h"

#include <functional>
#include <memory>
#include <ostream>

namespace envio::cli {

// Writes a run's report to a PDF file without a window (the desktop layer provides it).
using CreadorInformePdf = std::function<std::unique_ptr<VisorInforme>(
    const CarpetaPrograma&, const std::filesystem::path&)>;

// --enviar: the same run as the window's, over the rows that the selection mode checks.
// Exit status: 0 when every selected document went out, 1 when some did not, 2 when the run
// could not start or ended in its error exit.
int ordenEnviar(const Opciones& opciones, const CarpetaPrograma& carpeta, const Reloj& reloj,
                const CreadorInformePdf& crearInforme, std::ostream& salida, std::ostream& errores,
                bool errorEsTerminal);

// --revisar: the review of the rows that the selection mode checks, one tab-separated line per
// finding on `salida`; nothing is sent. Exit status: 0 with no finding, 1 with any, 2 when the
// review could not start.
int ordenRevisar(const Opciones& opciones, const CarpetaPrograma& carpeta, const Reloj& reloj,
                 std::ostream& salida, std::ostream& errores);

} // namespace envio::cli
