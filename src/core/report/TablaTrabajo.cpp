#include "report/TablaTrabajo.h"

#include "database/BaseDatos.h"
#include "database/Texto.h"

namespace envio {
namespace {

bool existeEnOtraGrafia(const std::filesystem::path& archivo) {
    for (const auto& nombre : BaseDatos::abrir(archivo)->tablas()) {
        if (igualesSinMayusculas(nombre, kTablaInforme)) {
            return true;
        }
    }
    return false;
}

} // namespace

bool ExisteTabla(const std::filesystem::path& baseDatos, std::string_view tabla) {
    for (const auto& nombre : BaseDatos::abrir(baseDatos)->tablas()) {
        if (nombre == tabla) {
            return true;
        }
    }
    return false;
}

void CrearTablaTemporal(const std::filesystem::path& baseDatos, std::string_view tabla,
                        std::string_view estructura) {
    if (estructura != kTablaInforme) {
        return;
    }
    DefinicionTabla definicion{std::string(tabla), {}};
    definicion.campos.push_back({"Id", DefinicionCampo::Tipo::EnteroAutonumerico, 0});
    for (int n = 1; n <= 40; ++n) {
        definicion.campos.push_back({"CAMPO" + std::to_string(n), DefinicionCampo::Tipo::Texto,
                                     static_cast<int>(kLongitudCampo)});
    }
    BaseDatos::abrir(baseDatos)->crearTabla(definicion);
}

ResultadoPreparacion prepararBaseTrabajo(const CarpetaPrograma& carpeta) {
    ResultadoPreparacion resultado{carpeta.baseTrabajo(), std::nullopt};
    if (resultado.baseDatos != carpeta.temporalMdb()) {
        resultado.ajeno = carpeta.temporalMdb();
    }
    std::error_code error;
    // Empty: another copy of the program starting at the same moment has just created it and
    // not yet written its header; creating it again is harmless.
    if (!std::filesystem::exists(resultado.baseDatos, error) ||
        std::filesystem::file_size(resultado.baseDatos, error) == 0) {
        BaseDatos::crear(resultado.baseDatos);
    }
    // The engine's names ignore case: a table spelled otherwise would make the creation fail.
    if (!ExisteTabla(resultado.baseDatos, kTablaInforme) &&
        !existeEnOtraGrafia(resultado.baseDatos)) {
        try {
            CrearTablaTemporal(resultado.baseDatos, kTablaInforme, kTablaInforme);
        } catch (const ErrorBaseDatos&) {
            // Another copy of the program starting at the same moment made it first.
            if (!existeEnOtraGrafia(resultado.baseDatos)) {
                throw;
            }
        }
    }
    return resultado;
}

std::string acortarCampo(std::string_view valor) {
    std::size_t letras = 0;
    for (std::size_t i = 0; i < valor.size(); ++i) {
        if ((static_cast<unsigned char>(valor[i]) & 0xC0) != 0x80 && letras++ == kLongitudCampo) {
            return std::string(valor.substr(0, i));
        }
    }
    return std::string(valor);
}

} // namespace envio
