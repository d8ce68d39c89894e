#pragma once

#include <filesystem>

namespace envio {

// The program folder: where KRN.INI, the work database and the report definition live. It is the
// executable's folder, as on the suite's Windows machines, unless the user names another one
// (an installed program lives in a system folder and the suite's folder elsewhere).
class CarpetaPrograma {
public:
    explicit CarpetaPrograma(std::filesystem::path carpeta);

    [[nodiscard]] const std::filesystem::path& ruta() const { return carpeta_; }

    // The files that the program spells in several letter cases, each resolved to the one file
    // on disk whatever its case, or to the program's own spelling when it does not exist yet.
    [[nodiscard]] std::filesystem::path krnIni() const;
    [[nodiscard]] std::filesystem::path temporalMdb() const;
    [[nodiscard]] std::filesystem::path archivo(std::string_view nombre) const;

private:
    std::filesystem::path carpeta_;
};

} // namespace envio
