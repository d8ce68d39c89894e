#pragma once

#include "host/CarpetaPrograma.h"
#include "report/VisorInforme.h"

#include <filesystem>
#include <ostream>

namespace envio {

// The unattended command's report: the run's report written to a PDF file, or the reason it
// could not be on the error stream.
class InformeEnPdf : public VisorInforme {
public:
    InformeEnPdf(CarpetaPrograma carpeta, std::filesystem::path destino, std::ostream& errores);
    void mostrar(const SolicitudInforme& solicitud) override;

private:
    CarpetaPrograma carpeta_;
    std::filesystem::path destino_;
    std::ostream& errores_;
};

} // namespace envio
