#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace envio {

// Where a drive's or a share's folder on this machine came from.
enum class OrigenUnidad { Orden, Archivo, Deducida };

// A Windows drive ("D:") or network share ("\\servidor\recurso") and the folder of this machine
// where it is mounted.
struct Unidad {
    std::string raiz;
    std::filesystem::path destino;
    OrigenUnidad origen = OrigenUnidad::Orden;
    std::filesystem::path
        archivo; // the per-machine file it was read from, for OrigenUnidad::Archivo

    bool operator==(const Unidad&) const = default;
};

// As the status bar and --listar tell it: "D: → /mnt/gestion (deducida)".
std::string describirUnidad(const Unidad& unidad);

// One "RAIZ=CARPETA", as given to --unidad or written in a per-machine file: "D:=/mnt/gestion",
// "\\servidor\recurso=/mnt/recurso" (also with forward slashes). The folder must be absolute.
// Throws std::invalid_argument with the user's words when it is not valid.
Unidad leerUnidad(std::string_view texto, OrigenUnidad origen);

// The mappings the user gave: those of the command line first, then those of the per-machine
// files. Each Linux machine mounts the suite's share in its own place, so they cannot live in the
// shared KRN.INI.
class MapaUnidades {
public:
    // False, and nothing added, when the map already holds the root: the first one given counts.
    bool anadir(Unidad unidad);
    [[nodiscard]] const Unidad* buscar(std::string_view raiz) const;
    [[nodiscard]] const std::vector<Unidad>& unidades() const { return unidades_; }

    // The per-machine files looked at, named when the user is told how to map a path.
    std::vector<std::filesystem::path> archivos;
    // The lines of those files that could not be read, as "archivo:línea: motivo".
    std::vector<std::string> errores;

private:
    std::vector<Unidad> unidades_;
};

// Adds the lines of one per-machine file ("D:=/mnt/gestion"; blank lines and lines starting with
// '#' are skipped) and records the file in `mapa.archivos`. A missing file adds nothing.
void leerArchivoUnidades(MapaUnidades& mapa, const std::filesystem::path& archivo);

// The per-machine files in the order they count: the user's own
// ($XDG_CONFIG_HOME/envio-documentos/unidades, by default ~/.config/…), then the machine's
// (/etc/envio-documentos/unidades). Takes the two variables' values (null when unset) so that the
// caller, not the core, reads the environment.
std::vector<std::filesystem::path> archivosDeUnidades(const char* configuracionXdg,
                                                      const char* carpetaPersonal);

} // namespace envio
