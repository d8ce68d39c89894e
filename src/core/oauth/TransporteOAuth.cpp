#include "oauth/TransporteOAuth.h"

namespace envio {

TransporteOAuth::TransporteOAuth(MailTransport& interior, SesionOAuth& sesion)
    : interior_(interior), sesion_(sesion) {}

ResultadoEnvio TransporteOAuth::enviarConToken(const ConfiguracionSmtp& configuracion,
                                               const MensajeSmtp& mensaje, bool& sinToken) {
    ConfiguracionSmtp conToken = configuracion;
    try {
        conToken.tokenAcceso = sesion_.tokenAcceso();
    } catch (const ErrorSesion& e) {
        sinToken = true;
        // Not NoAceptado: the windows word that one as a wrong user or password, and this text
        // is what the user must read.
        ResultadoEnvio r;
        r.numero = correo::ErrorEnvio;
        r.descripcion = e.what();
        return r; // nothing went to the server
    }
    conToken.autenticar = true;
    conToken.usuario = sesion_.configuracion().cuenta;
    conToken.password.reset();
    return interior_.enviar(conToken, mensaje);
}

ResultadoEnvio TransporteOAuth::enviar(const ConfiguracionSmtp& configuracion,
                                       const MensajeSmtp& mensaje) {
    bool sinToken = false;
    ResultadoEnvio r = enviarConToken(configuracion, mensaje, sinToken);
    if (sinToken || r.numero != correo::NoAceptado) {
        return r;
    }
    // The server refused a token our clock still held good (revoked, or the clocks differ):
    // one more try with a renewed one. The refusal came at AUTH, before any of the message.
    sesion_.descartarTokenAcceso();
    r = enviarConToken(configuracion, mensaje, sinToken);
    if (!sinToken && r.numero == correo::NoAceptado) {
        r.numero = correo::ErrorEnvio;
        r.descripcion = textoVolverAIniciar(
            sesion_.configuracion().cuenta,
            "el servidor de correo no aceptó el inicio de sesión: " + r.respuesta);
    }
    return r;
}

} // namespace envio
