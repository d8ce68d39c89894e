#include "host/RutasAnfitrion.h"

#include "host/RutaWindows.h"
#include "platform/FileSystem.h"

#include <algorithm>

namespace envio {
namespace {

std::filesystem::path bajo(const std::filesystem::path& carpeta, std::string_view resto) {
    return fs::resolvePathIgnoringCase(carpeta.string() + "/" + std::string(resto));
}

bool existe(const std::filesystem::path& ruta) {
    std::error_code error;
    return std::filesystem::exists(ruta, error);
}

// The program folder and every folder above it, nearest first.
std::vector<std::filesystem::path> carpetasHaciaArriba(const std::filesystem::path& carpeta) {
    std::error_code error;
    std::filesystem::path actual = std::filesystem::absolute(carpeta, error).lexically_normal();
    if (actual.filename().empty() && actual.has_parent_path()) {
        actual = actual.parent_path(); // "/srv/suite/" names the same folder as "/srv/suite"
    }
    std::vector<std::filesystem::path> carpetas{actual};
    while (actual.has_relative_path()) {
        actual = actual.parent_path();
        carpetas.push_back(actual);
    }
    return carpetas;
}

std::string nombreRaiz(const std::string& raiz) {
    return (raiz.starts_with("\\\\") ? "el recurso de red " : "la unidad ") + raiz;
}

} // namespace

RutasAnfitrion::RutasAnfitrion(CarpetaPrograma carpeta) : carpeta_(std::move(carpeta)) {}

std::filesystem::path RutasAnfitrion::resolver(std::string_view texto) {
    const auto windows = separarRutaWindows(texto);
    if (!windows) {
        const bool absoluta = !texto.empty() && (texto.front() == '/' || texto.front() == '\\');
        return absoluta ? fs::resolvePathIgnoringCase(texto) : bajo(carpeta_.ruta(), texto);
    }
    std::vector<std::filesystem::path> candidatas;
    if (const Unidad* unidad = unidadPara(*windows, candidatas)) {
        usar(*unidad);
        return bajo(unidad->destino, windows->resto);
    }
    if (sinUnidad(texto) == nullptr) {
        sinUnidad_.push_back(
            {std::string(texto), windows->raiz, windows->resto, std::move(candidatas)});
    }
    return std::filesystem::path(std::string(texto));
}

const Unidad* RutasAnfitrion::unidadPara(const RutaWindows& ruta,
                                         std::vector<std::filesystem::path>& candidatas) {
    if (const Unidad* dada = carpeta_.unidades().buscar(ruta.raiz)) {
        return dada;
    }
    const auto deducida = std::find_if(deducidas_.begin(), deducidas_.end(), [&](const Unidad& u) {
        return mismaRaiz(u.raiz, ruta.raiz);
    });
    if (deducida != deducidas_.end()) {
        return &*deducida;
    }
    for (const auto& carpeta : carpetasHaciaArriba(carpeta_.ruta())) {
        if (existe(bajo(carpeta, ruta.resto))) {
            candidatas.push_back(carpeta);
        }
    }
    if (candidatas.size() != 1) {
        return nullptr;
    }
    deducidas_.push_back(Unidad{ruta.raiz, candidatas.front(), OrigenUnidad::Deducida, {}});
    return &deducidas_.back();
}

void RutasAnfitrion::usar(const Unidad& unidad) {
    const bool yaUsada = std::any_of(usadas_.begin(), usadas_.end(), [&](const Unidad& u) {
        return mismaRaiz(u.raiz, unidad.raiz);
    });
    if (!yaUsada) {
        usadas_.push_back(unidad);
    }
}

const RutaSinUnidad* RutasAnfitrion::sinUnidad(std::string_view texto) const {
    const auto it = std::find_if(sinUnidad_.begin(), sinUnidad_.end(),
                                 [&](const RutaSinUnidad& r) { return r.texto == texto; });
    return it == sinUnidad_.end() ? nullptr : &*it;
}

std::string explicarRutaSinUnidad(const RutaSinUnidad& ruta, const MapaUnidades& mapa) {
    std::string texto = "La ruta " + ruta.texto + " de KRN.INI es de Windows y no se sabe en qué " +
                        "carpeta de este equipo está " + nombreRaiz(ruta.raiz) + ": ";
    if (ruta.candidatas.empty()) {
        texto += ruta.resto + " no está en la carpeta del programa ni en ninguna de las que la "
                              "contienen.";
    } else {
        texto += ruta.resto + " está en varias carpetas:";
        for (const auto& carpeta : ruta.candidatas) {
            texto += " " + carpeta.string();
        }
        texto += ".";
    }
    const std::string ejemplo = ruta.raiz + "=/carpeta/montada";
    texto += "\nIndique su carpeta con la opción --unidad '" + ejemplo + "' o con la línea " +
             ejemplo + " en el archivo ";
    const auto& archivos = mapa.archivos;
    if (archivos.empty()) {
        texto += "~/.config/envio-documentos/unidades o /etc/envio-documentos/unidades";
    }
    for (std::size_t i = 0; i < archivos.size(); ++i) {
        texto += (i == 0 ? "" : " o ") + archivos[i].string();
    }
    return texto + ".";
}

} // namespace envio
