#include "host/CarpetaPrograma.h"

#include "platform/FileSystem.h"

namespace envio {

CarpetaPrograma::CarpetaPrograma(std::filesystem::path carpeta, MapaUnidades unidades)
    : carpeta_(std::move(carpeta)), unidades_(std::move(unidades)) {}

std::filesystem::path CarpetaPrograma::krnIni() const {
    return archivo("KRN.INI");
}

std::filesystem::path CarpetaPrograma::temporalMdb() const {
    return archivo("temporal.mdb");
}

std::filesystem::path CarpetaPrograma::archivo(std::string_view nombre) const {
    return fs::resolveInFolder(carpeta_, nombre);
}

} // namespace envio
