#include "settings/ConfiguracionCorreo.h"

#include "settings/CodificarClave.h"
#include "settings/IniFile.h"
#include "settings/MensajeEnTrozos.h"
#include "settings/NumeroInicial.h"

namespace envio {

bool ConfiguracionCorreo::pideConfirmacionLeido() const {
    return NumeroInicial(confirmacionLeido) != 0.0;
}

int puertoDesdeTexto(const std::string& texto) {
    const long long puerto = redondearAPar(NumeroInicial(texto));
    return puerto >= 0 && puerto <= 65535 ? static_cast<int>(puerto) : 0;
}

int limiteDesdeTexto(const std::string& texto) {
    // A hand-edited value that is not a count is no limit rather than a stop to every run.
    const double valor = NumeroInicial(texto);
    return valor >= 1 && valor <= 1e9 ? static_cast<int>(valor) : 0;
}

ConfiguracionCorreo CargarConfiguracion(const std::filesystem::path& krn) {
    ConfiguracionCorreo c;
    c.servidor = LeerIni(krn, "servidor", "Servidor", "");
    c.puerto = puertoDesdeTexto(LeerIni(krn, "servidor", "Puerto", "25"));
    c.cuenta = LeerIni(krn, "servidor", "cuenta", "");
    c.usuario = LeerIni(krn, "servidor", "Usuario", "");
    c.password = CodificarClave(LeerIni(krn, "servidor", "Password", ""), false);
    c.ssl = NumeroInicial(LeerIni(krn, "Servidor", "SSL", "0")) != 0.0;
    c.asunto = LeerIni(krn, "DocumentoPORemail", "ASUNTO", "");
    c.mensaje = leerMensajeEnTrozos(krn, "DocumentoPORemail", "Mensaje");
    c.confirmacionLeido = LeerIni(krn, "DocumentoPORemail", "ConfirmacionLeido", "");
    c.limitePorMinuto = limiteDesdeTexto(LeerIni(krn, "servidor", "LimitePorMinuto", "0"));
    c.limitePorDia = limiteDesdeTexto(LeerIni(krn, "servidor", "LimitePorDia", "0"));
    c.protegerConNif =
        NumeroInicial(LeerIni(krn, "DocumentoPORemail", "ProtegerConNIF", "0")) != 0.0;
    c.lineaProteccion =
        LeerIni(krn, "DocumentoPORemail", "LineaProteccion", kLineaProteccionPorDefecto);
    const double kb = NumeroInicial(LeerIni(krn, "DocumentoPORemail", "TamanoMaximoKB", "0"));
    c.tamanoMaximoKb = kb > 0 ? static_cast<std::uintmax_t>(kb) : 0;
    return c;
}

} // namespace envio
