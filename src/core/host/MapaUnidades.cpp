#include "host/MapaUnidades.h"

#include "host/RutaWindows.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>

namespace envio {
namespace {

// Blanks around a value, a tab or a Windows line end included: the files are edited by hand.
std::string_view sinEspacios(std::string_view texto) {
    const auto primero = texto.find_first_not_of(" \t\r");
    if (primero == std::string_view::npos) {
        return {};
    }
    return texto.substr(primero, texto.find_last_not_of(" \t\r") - primero + 1);
}

std::string textoOrigen(const Unidad& unidad) {
    switch (unidad.origen) {
    case OrigenUnidad::Orden:
        return "--unidad";
    case OrigenUnidad::Archivo:
        return unidad.archivo.string();
    case OrigenUnidad::Deducida:
        break;
    }
    return "deducida";
}

// A share may be typed with forward slashes on a Linux command line, where backslashes need
// quoting; a KRN.INI path never starts that way.
std::string raizConBarrasInvertidas(std::string_view texto) {
    std::string raiz(texto);
    if (raiz.starts_with("//")) {
        std::replace(raiz.begin(), raiz.end(), '/', '\\');
    }
    return raiz;
}

} // namespace

std::string describirUnidad(const Unidad& unidad) {
    return unidad.raiz + " → " + unidad.destino.string() + " (" + textoOrigen(unidad) + ")";
}

Unidad leerUnidad(std::string_view texto, OrigenUnidad origen) {
    const auto igual = texto.find('=');
    if (igual == std::string_view::npos) {
        throw std::invalid_argument("se espera UNIDAD=CARPETA, por ejemplo D:=/mnt/gestion");
    }
    const auto ruta =
        separarRutaWindows(raizConBarrasInvertidas(sinEspacios(texto.substr(0, igual))));
    if (!ruta || !ruta->resto.empty()) {
        throw std::invalid_argument(
            "antes del signo = va una unidad (D:) o un recurso de red (\\\\servidor\\recurso)");
    }
    std::string_view destino = sinEspacios(texto.substr(igual + 1));
    if (!destino.starts_with('/')) {
        throw std::invalid_argument("después del signo = va una carpeta absoluta de este equipo");
    }
    while (destino.size() > 1 && destino.ends_with('/')) {
        destino.remove_suffix(1);
    }
    return Unidad{ruta->raiz, std::filesystem::path(destino).lexically_normal(), origen, {}};
}

bool MapaUnidades::anadir(Unidad unidad) {
    if (buscar(unidad.raiz) != nullptr) {
        return false;
    }
    unidades_.push_back(std::move(unidad));
    return true;
}

const Unidad* MapaUnidades::buscar(std::string_view raiz) const {
    const auto it = std::find_if(unidades_.begin(), unidades_.end(),
                                 [&](const Unidad& u) { return mismaRaiz(u.raiz, raiz); });
    return it == unidades_.end() ? nullptr : &*it;
}

void leerArchivoUnidades(MapaUnidades& mapa, const std::filesystem::path& archivo) {
    mapa.archivos.push_back(archivo);
    const auto bytes = fs::readFile(archivo);
    if (!bytes) {
        return;
    }
    std::istringstream lineas(*bytes);
    std::string linea;
    for (int numero = 1; std::getline(lineas, linea); ++numero) {
        const std::string_view texto = sinEspacios(linea);
        if (texto.empty() || texto.starts_with('#')) {
            continue;
        }
        try {
            Unidad unidad = leerUnidad(texto, OrigenUnidad::Archivo);
            unidad.archivo = archivo;
            mapa.anadir(std::move(unidad));
        } catch (const std::invalid_argument& e) {
            mapa.errores.push_back(archivo.string() + ":" + std::to_string(numero) + ": " +
                                   std::string(texto) + " (" + e.what() + ")");
        }
    }
}

std::vector<std::filesystem::path> archivosDeUnidades(const char* configuracionXdg,
                                                      const char* carpetaPersonal) {
    std::vector<std::filesystem::path> archivos;
    if (configuracionXdg != nullptr && configuracionXdg[0] == '/') {
        archivos.push_back(std::filesystem::path(configuracionXdg) / "envio-documentos/unidades");
    } else if (carpetaPersonal != nullptr && carpetaPersonal[0] == '/') {
        archivos.push_back(std::filesystem::path(carpetaPersonal) /
                           ".config/envio-documentos/unidades");
    }
    archivos.emplace_back("/etc/envio-documentos/unidades");
    return archivos;
}

} // namespace envio
