#pragma once

#include "host/MapaUnidades.h"

#include <filesystem>

namespace envio {

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

private:
    std::filesystem::path carpeta_;
    MapaUnidades unidades_;
};

} // namespace envio
