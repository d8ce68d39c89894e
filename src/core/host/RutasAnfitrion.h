#pragma once

#include "host/CarpetaPrograma.h"
#include "host/MapaUnidades.h"
#include "host/RutaWindows.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace envio {

// A Windows path of KRN.INI that no folder of this machine could be found for.
struct RutaSinUnidad {
    std::string texto; // as read from KRN.INI
    std::string raiz;
    std::string resto;
    // The folders above the program folder that hold the path's tail: none, or more than one.
    std::vector<std::filesystem::path> candidatas;
};

// Turns the paths read from KRN.INI into paths of this machine, and remembers which drive and
// share mappings it used and which paths it could not map.
//
// Relative paths and bare file names are taken from the program folder and paths starting with
// '/' or a single '\' from this machine's root, as always. A drive ("D:\…") or share
// ("\\servidor\recurso\…") is looked up in the user's mappings (command line, then per-machine
// files); failing that, it is inferred when the path's tail exists, without regard to case, under
// exactly one of the program folder and the folders above it. An inferred root is kept for the
// later paths on the same drive, which may name files not there yet.
class RutasAnfitrion {
public:
    RutasAnfitrion() : RutasAnfitrion(CarpetaPrograma(".")) {}
    explicit RutasAnfitrion(CarpetaPrograma carpeta);

    // The path on this machine, each component found without regard to case. A Windows path
    // that cannot be mapped comes back as written: no file has that name, and a message that
    // names it reads as the user wrote it.
    std::filesystem::path resolver(std::string_view texto);

    // In the order first used, each root once.
    [[nodiscard]] const std::vector<Unidad>& usadas() const { return usadas_; }
    // What `resolver` could not map of `texto`; nothing when it was mapped or never asked.
    [[nodiscard]] const RutaSinUnidad* sinUnidad(std::string_view texto) const;

private:
    const Unidad* unidadPara(const RutaWindows& ruta,
                             std::vector<std::filesystem::path>& candidatas);
    void usar(const Unidad& unidad);

    CarpetaPrograma carpeta_;
    std::vector<Unidad> deducidas_;
    std::vector<Unidad> usadas_;
    std::vector<RutaSinUnidad> sinUnidad_;
};

// The user's words for a path that could not be mapped: which path, why, and how to map it with
// --unidad or a line in a per-machine file.
std::string explicarRutaSinUnidad(const RutaSinUnidad& ruta, const MapaUnidades& mapa);

} // namespace envio
