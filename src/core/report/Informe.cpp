#include "report/Informe.h"

#include "database/BaseDatos.h"
#include "database/ErrorBaseDatos.h"
#include "platform/FileSystem.h"
#include "report/FormulaInforme.h"

namespace envio {

std::vector<std::vector<std::string>> leerFilasInforme(const DefinicionInforme& definicion,
                                                       const std::filesystem::path& baseDatos) {
    // The names come from a definition that accepted them as plain field names only.
    std::string sql = "SELECT * FROM " + definicion.tabla;
    if (!definicion.orden.empty()) {
        sql += " ORDER BY " + definicion.orden;
    }
    std::vector<std::vector<std::string>> filas;
    try {
        // The runs spell the work database "Temporal.mdb"; on disk it may be "temporal.mdb".
        Registros registros = BaseDatos::abrir(fs::resolveInFolder(baseDatos.parent_path(),
                                                                   baseDatos.filename().string()))
                                  ->abrirRegistros(sql);
        filas.reserve(registros.cantidad());
        for (; !registros.fin(); registros.siguiente()) {
            std::vector<std::string> fila;
            fila.reserve(definicion.columnas.size());
            for (const auto& columna : definicion.columnas) {
                fila.push_back(registros.campo(columna.campo).comoTexto());
            }
            filas.push_back(std::move(fila));
        }
    } catch (const ErrorBaseDatos& e) {
        throw ErrorInforme(std::string("No se pueden leer los datos del informe.\n") + e.what());
    }
    return filas;
}

void fijarFormulasSolicitud(DefinicionInforme& definicion, const SolicitudInforme& solicitud) {
    definicion.fijarFormula("{@Usuario}", formulaDeTexto(solicitud.usuario));
    definicion.fijarFormula("{@TituloInforme}", formulaDeTexto(solicitud.TituloInforme));
    definicion.fijarFormula("{@DetalleInforme}", formulaDeTexto(solicitud.DetalleInforme));
}

DatosInforme cargarDatosInforme(const SolicitudInforme& solicitud, const CarpetaPrograma& carpeta,
                                const std::vector<std::filesystem::path>& otrasCarpetas) {
    DatosInforme datos{cargarDefinicionInforme(carpeta, solicitud.FicheroInforme, otrasCarpetas),
                       {}};
    fijarFormulasSolicitud(datos.definicion, solicitud);
    datos.filas = leerFilasInforme(datos.definicion, solicitud.BaseDatosInforme);
    return datos;
}

} // namespace envio
