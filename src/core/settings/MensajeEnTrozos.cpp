#include "settings/MensajeEnTrozos.h"

#include "settings/ConvertirCaracter.h"
#include "settings/IniFile.h"

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

std::string clave(std::string_view prefijo, unsigned n) {
    return std::string(prefijo) + std::to_string(n);
}

// The byte length of the first `characters` UTF-8 characters of `text`.
std::size_t bytesOf(std::string_view text, std::size_t characters) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && count++ == characters) {
            return i;
        }
    }
    return text.size();
}

} // namespace

bool escribirMensajeEnTrozos(const std::filesystem::path& archivo, std::string_view seccion,
                             std::string_view prefijo, const std::string& texto) {
    std::string resto = codificarSaltos(texto);
    bool ok = true;
    for (unsigned n = 0; !LeerIni(archivo, seccion, clave(prefijo, n), "").empty(); ++n) {
        if (!EscribirIni(archivo, seccion, clave(prefijo, n), "")) {
            ok = false;
            break; // the chunk stays as it was: reading on would never end
        }
    }
    for (unsigned n = 0; !resto.empty(); ++n) {
        const std::size_t cut = bytesOf(resto, kTamanoTrozo);
        ok = EscribirIni(archivo, seccion, clave(prefijo, n), resto.substr(0, cut)) && ok;
        resto.erase(0, cut);
    }
    return ok;
}

} // namespace envio
