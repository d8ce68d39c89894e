#include "mail/OpcionesComponente.h"

#include "host/ContextoAnfitrion.h"
#include "settings/IniFile.h"

namespace envio {

OpcionesCurl opcionesComponente(const CarpetaPrograma& carpeta) {
    OpcionesCurl opciones;
    const std::string ca = LeerIni(carpeta.krnIni(), "servidor", "ArchivoCA", "");
    if (!ca.empty()) {
        opciones.archivoCA = rutaDelAnfitrion(carpeta, ca);
    }
    return opciones;
}

} // namespace envio
