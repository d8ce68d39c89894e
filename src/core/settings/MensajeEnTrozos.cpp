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

} // namespace envio
