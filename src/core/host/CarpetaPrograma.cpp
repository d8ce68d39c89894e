#include "host/CarpetaPrograma.h"

#include "database/BaseDatos.h"
#include "database/ErrorBaseDatos.h"
#include "platform/FileSystem.h"
#include "platform/ProcessIdentity.h"

#include <fstream>

namespace envio {
namespace {

// Only the header and the table list are read: a file of another program is never opened for
// writing.
bool esBaseDeDatosPropia(const std::filesystem::path& archivo) {
    std::ifstream entrada(archivo, std::ios::binary);
    std::string cabecera(16, '\0');
    entrada.read(cabecera.data(), static_cast<std::streamsize>(cabecera.size()));
    if (!entrada || formatoDe(cabecera) != FormatoBaseDatos::Sqlite) {
        return false;
    }
    try {
        (void)BaseDatos::abrir(archivo)->tablas();
        return true;
    } catch (const ErrorBaseDatos&) {
        return false;
    }
}

} // namespace

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

std::filesystem::path CarpetaPrograma::baseTrabajo() const {
    if (baseTrabajo_) {
        return *baseTrabajo_;
    }
    // On a share, machines do not see each other's SQLite locks: two runs of two machines
    // writing one work table could damage it. Each machine has its own there.
    if (fs::isNetworkFileSystem(carpeta_)) {
        return archivo("envio-informe." + currentProcess().host + ".db");
    }
    auto temporal = temporalMdb();
    std::error_code error;
    if (!std::filesystem::exists(temporal, error) || esBaseDeDatosPropia(temporal)) {
        return temporal;
    }
    return archivo(kBaseTrabajoPropia);
}

void CarpetaPrograma::fijarBaseTrabajo(std::filesystem::path baseDatos) {
    baseTrabajo_ = std::move(baseDatos);
}

} // namespace envio
