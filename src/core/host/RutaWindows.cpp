#include "host/RutaWindows.h"

#include "platform/FileSystem.h"

namespace envio {
namespace {

bool esSeparador(char c) {
    return c == '\\' || c == '/';
}

std::string_view sinSeparadoresIniciales(std::string_view texto) {
    while (!texto.empty() && esSeparador(texto.front())) {
        texto.remove_prefix(1);
    }
    return texto;
}

bool esLetra(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The next component of a UNC path and what follows it.
std::pair<std::string_view, std::string_view> componente(std::string_view texto) {
    std::size_t fin = 0;
    while (fin < texto.size() && !esSeparador(texto[fin])) {
        ++fin;
    }
    return {texto.substr(0, fin), texto.substr(fin)};
}

} // namespace

std::optional<RutaWindows> separarRutaWindows(std::string_view texto) {
    if (texto.size() >= 2 && esLetra(texto[0]) && texto[1] == ':') {
        const char letra = static_cast<char>(texto[0] & ~0x20); // ASCII upper case
        return RutaWindows{std::string{letra, ':'},
                           std::string(sinSeparadoresIniciales(texto.substr(2)))};
    }
    if (!texto.starts_with("\\\\")) {
        return std::nullopt;
    }
    const auto [servidor, trasServidor] = componente(texto.substr(2));
    const auto [recurso, resto] = componente(sinSeparadoresIniciales(trasServidor));
    if (servidor.empty() || recurso.empty()) {
        return std::nullopt;
    }
    return RutaWindows{"\\\\" + std::string(servidor) + "\\" + std::string(recurso),
                       std::string(sinSeparadoresIniciales(resto))};
}

bool mismaRaiz(std::string_view a, std::string_view b) {
    return fs::sameNameIgnoringCase(a, b);
}

} // namespace envio
