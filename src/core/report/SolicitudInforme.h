#pragma once

#include <filesystem>
#include <string>

namespace envio {

// What a sending run asks the report to show. The run fills it just before it opens the report;
// the next run overwrites it.
struct SolicitudInforme {
    std::string TituloInforme;                   // shown through {@TituloInforme}
    std::string DetalleInforme;                  // shown through {@DetalleInforme}
    std::filesystem::path BaseDatosInforme;      // the work database the report reads
    std::string FicheroInforme = "9Fac0019.rpt"; // the definition, looked up by name
    std::string usuario;                         // the mail account's user, for {@Usuario}
};

} // namespace envio
