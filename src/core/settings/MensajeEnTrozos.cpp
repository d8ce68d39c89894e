#include "settings/MensajeEnTrozos.h"

#include "settings/ConvertirCaracter.h"
#include "settings/IniFile.h"

#include <algorithm>

namespace envio {

std::string leerMensajeEnTrozos(const std::filesystem::path& archivo, std::string_view seccion,
                                std::string_view prefijo) {
    std::string texto;
    for (unsigned n = 0;; ++n) {
        const std::string trozo =
            LeerIni(archivo, seccion, std::string(prefijo) + std::to_string(n), "");
        if (trozo.empty()) {
            break;
        }
        texto += trozo;
    }
    return decodificarSaltos(std::move(texto));
}

namespace {

constexpr std::size_t kTamanoTrozo = 200;

std::string clave(std::string_view prefijo, std::size_t n) {
    return std::string(prefijo) + std::to_string(n);
}

bool esBlanco(char c) {
    return c == ' ' || c == '\t';
}

bool sobreviveLectura(std::string_view trozo) {
    if (trozo.empty() || esBlanco(trozo.front()) || esBlanco(trozo.back())) {
        return false;
    }
    return !(trozo.size() >= 2 && (trozo.front() == '"' || trozo.front() == '\'') &&
             trozo.back() == trozo.front());
}

// Empties the chunks from `desde` on up to the first one that is already empty.
bool vaciarDesde(const std::filesystem::path& archivo, std::string_view seccion,
                 std::string_view prefijo, std::size_t desde) {
    for (std::size_t n = desde; !LeerIni(archivo, seccion, clave(prefijo, n), "").empty(); ++n) {
        if (!EscribirIni(archivo, seccion, clave(prefijo, n), "")) {
            return false; // the chunk stays as it was: reading on would never end
        }
    }
    return true;
}

// A chunk made only of blanks reads back as empty, which ends the body there and drops the rest.
// No run of blanks longer than half a chunk is kept, so every chunk holds a letter.
std::string acotarBlancos(std::string_view texto) {
    constexpr std::size_t kMaximo = kTamanoTrozo / 2;
    std::string acotado;
    acotado.reserve(texto.size());
    std::size_t seguidos = 0;
    for (const char c : texto) {
        seguidos = esBlanco(c) ? seguidos + 1 : 0;
        if (seguidos <= kMaximo) {
            acotado += c;
        }
    }
    return acotado;
}

} // namespace

std::vector<std::string> cortarEnTrozos(std::string_view codificado) {
    // Where each UTF-8 character starts: the chunks count characters, one byte each on disk.
    std::vector<std::size_t> inicios;
    for (std::size_t i = 0; i < codificado.size(); ++i) {
        if ((static_cast<unsigned char>(codificado[i]) & 0xC0) != 0x80) {
            inicios.push_back(i);
        }
    }
    inicios.push_back(codificado.size());
    const std::size_t total = inicios.size() - 1;
    const auto trozo = [&](std::size_t desde, std::size_t hasta) {
        return codificado.substr(inicios[desde], inicios[hasta] - inicios[desde]);
    };
    std::vector<std::string> trozos;
    std::size_t i = 0;
    while (i < total) {
        const std::size_t resto = total - i;
        std::size_t largo = std::min(resto, kTamanoTrozo);
        if (resto > kTamanoTrozo || !sobreviveLectura(trozo(i, total))) {
            for (std::size_t l = std::min(resto - 1, kTamanoTrozo); l >= 1; --l) {
                if (sobreviveLectura(trozo(i, i + l)) && !esBlanco(codificado[inicios[i + l]])) {
                    largo = l;
                    break;
                }
            }
        }
        trozos.emplace_back(trozo(i, i + largo));
        i += largo;
    }
    return trozos;
}

bool escribirMensajeEnTrozos(const std::filesystem::path& archivo, std::string_view seccion,
                             std::string_view prefijo, const std::string& texto) {
    const std::vector<std::string> trozos = cortarEnTrozos(acotarBlancos(codificarSaltos(texto)));
    bool ok = vaciarDesde(archivo, seccion, prefijo, 0);
    for (std::size_t n = 0; ok && n < trozos.size(); ++n) {
        ok = EscribirIni(archivo, seccion, clave(prefijo, n), trozos[n]);
    }
    return ok && vaciarDesde(archivo, seccion, prefijo, trozos.size());
}

} // namespace envio
