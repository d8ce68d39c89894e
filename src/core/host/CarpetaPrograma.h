#pragma once

#include "host/MapaUnidades.h"

#include <filesystem>
#include <optional>
#include <string_view>

namespace envio {

// The name of our own work database, used when the folder's temporal.mdb is not ours to write.
inline constexpr std::string_view kBaseTrabajoPropia = "envio-informe.db";

// The program folder: where KRN.INI, the work database and the report definition live. It is the
// executable's folder, as on the suite's Windows machines, unless the user names another one
// (an installed program lives in a system folder and the suite's folder elsewhere). It carries
// the drive and share mappings the user gave for the Windows paths of its KRN.INI.
class CarpetaPrograma {
public:
    explicit CarpetaPrograma(std::filesystem::path carpeta, MapaUnidades unidades = {});

    [[nodiscard]] const std::filesystem::path& ruta() const { return carpeta_; }
    [[nodiscard]] const MapaUnidades& unidades() const { return unidades_; }

    // The files that the program spells in several letter cases, each resolved to the one file
    // on disk whatever its case, or to the program's own spelling when it does not exist yet.
    [[nodiscard]] std::filesystem::path krnIni() const;
    [[nodiscard]] std::filesystem::path temporalMdb() const;
    [[nodiscard]] std::filesystem::path archivo(std::string_view nombre) const;

    // The database that holds the report's work table: temporal.mdb while it is missing or a
    // SQLite file of ours; our own file when it is anything else. A temporal.mdb in the Jet
    // format belongs to the Windows copy of the program, which keeps using the folder, and a
    // damaged one may still be somebody's: neither is ever written. The start-up fixes the
    // answer once, so that a run and its report read the one file even if the folder changes.
    [[nodiscard]] std::filesystem::path baseTrabajo() const;
    void fijarBaseTrabajo(std::filesystem::path baseDatos);

private:
    std::filesystem::path carpeta_;
    MapaUnidades unidades_;
    std::optional<std::filesystem::path> baseTrabajo_;
};

} // namespace envio
