#pragma once

#include "host/CarpetaPrograma.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace envio {

inline constexpr std::string_view kTablaInforme = "INFORMETMP2008";
inline constexpr std::size_t kLongitudCampo = 100;

// Whether the database holds a table named exactly `tabla` (letter case counts).
bool ExisteTabla(const std::filesystem::path& baseDatos, std::string_view tabla);

// Adds the work table: `Id` numbered by the engine, then CAMPO1 ... CAMPO40, text of 100, in that
// order. Only the one layout "INFORMETMP2008" exists; for any other nothing is added.
void CrearTablaTemporal(const std::filesystem::path& baseDatos, std::string_view tabla,
                        std::string_view estructura);

struct ResultadoPreparacion {
    std::filesystem::path baseDatos;
    // Set when the folder's temporal.mdb is not ours (the Windows program's Jet file, a damaged
    // or empty file): it is left exactly as it is and `baseDatos` is our own file instead.
    std::optional<std::filesystem::path> ajeno;
};

// Makes sure the work database (see CarpetaPrograma::baseTrabajo) and its table exist. Throws
// ErrorBaseDatos when the folder does not let us create it.
ResultadoPreparacion prepararBaseTrabajo(const CarpetaPrograma& carpeta);

// A value as it fits a work-table field: at most 100 characters, cut on a character boundary.
std::string acortarCampo(std::string_view valor);

} // namespace envio
