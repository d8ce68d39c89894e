#include "InformeEnPdf.h"

#include "gui/DibujarInforme.h"

namespace envio {

InformeEnPdf::InformeEnPdf(CarpetaPrograma carpeta, std::filesystem::path destino,
                           std::ostream& errores)
    : carpeta_(std::move(carpeta)), destino_(std::move(destino)), errores_(errores) {}

void InformeEnPdf::mostrar(const SolicitudInforme& solicitud) {
    try {
        gui::exportarInformePdf(solicitud, carpeta_, destino_);
    } catch (const std::exception& e) {
        errores_ << e.what() << '\n';
    }
}

} // namespace envio
