#pragma once

#include "host/CarpetaPrograma.h"
#include "report/DefinicionInforme.h"
#include "report/PaginarInforme.h"
#include "report/SolicitudInforme.h"

#include <filesystem>
#include <string>
#include <vector>

namespace envio {

// The rows the definition shows, read from its table in the database at `baseDatos`: one text
// per column, in column order; a null field is the empty text. Throws ErrorInforme.
std::vector<std::vector<std::string>> leerFilasInforme(const DefinicionInforme& definicion,
                                                       const std::filesystem::path& baseDatos);

// Gives the three formula fields the request's texts, by their exact names. A field the
// definition lacks is not set; the report opens all the same.
void fijarFormulasSolicitud(DefinicionInforme& definicion, const SolicitudInforme& solicitud);

struct DatosInforme {
    DefinicionInforme definicion;
    std::vector<std::vector<std::string>> filas;
};

// What a run's report shows: finds and reads the definition (kReporteNoEncontrado when it
// cannot), sets its formula fields from the request and reads the work table. The caller
// paginates it with the measure of the fonts the definition names. Throws ErrorInforme.
DatosInforme cargarDatosInforme(
    const SolicitudInforme& solicitud, const CarpetaPrograma& carpeta,
    const std::vector<std::filesystem::path>& otrasCarpetas = carpetasDatosInforme());

} // namespace envio
