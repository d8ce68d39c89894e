#include "revision/SinContrasena.h"

#include "platform/FileSystem.h"
#include "platform/WriteInPlace.h"

#include <cctype>

namespace envio {

std::string nifParaLista(std::string_view nif) {
    std::string limpio;
    for (const char c : nif) {
        if (c != ' ' && c != '-' && c != '\t' && c != '\r' && c != '\n') {
            limpio += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
    }
    return limpio;
}

ListaSinContrasena::ListaSinContrasena(std::filesystem::path archivo)
    : archivo_(std::move(archivo)) {}

std::filesystem::path ListaSinContrasena::archivoEn(const CarpetaPrograma& carpeta) {
    return carpeta.archivo("nominas-sin-contrasena.txt");
}

std::set<std::string> ListaSinContrasena::leer() const {
    std::set<std::string> nifs;
    const auto texto = fs::readFile(archivo_);
    if (!texto) {
        return nifs;
    }
    std::size_t inicio = 0;
    while (inicio < texto->size()) {
        auto fin = texto->find('\n', inicio);
        if (fin == std::string::npos) {
            fin = texto->size();
        }
        if (auto nif = nifParaLista(std::string_view(*texto).substr(inicio, fin - inicio));
            !nif.empty()) {
            nifs.insert(std::move(nif));
        }
        inicio = fin + 1;
    }
    return nifs;
}

bool ListaSinContrasena::contiene(std::string_view nif) const {
    return leer().contains(nifParaLista(nif));
}

void ListaSinContrasena::anadir(std::string_view nif) {
    auto nifs = leer();
    if (nifs.insert(nifParaLista(nif)).second) {
        escribir(nifs);
    }
}

void ListaSinContrasena::quitar(std::string_view nif) {
    auto nifs = leer();
    if (nifs.erase(nifParaLista(nif)) > 0) {
        escribir(nifs);
    }
}

void ListaSinContrasena::escribir(const std::set<std::string>& nifs) {
    std::string texto;
    for (const auto& nif : nifs) {
        texto += nif + "\r\n"; // read on the office's Windows machines too
    }
    fs::recoverInterruptedWrite(archivo_);
    fs::writeFileInPlace(archivo_, texto);
}

} // namespace envio
