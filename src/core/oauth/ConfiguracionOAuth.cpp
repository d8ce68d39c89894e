#include "oauth/ConfiguracionOAuth.h"

#include "settings/IniFile.h"
#include "settings/NumeroInicial.h"

namespace envio {
namespace {

constexpr const char* kSeccion = "OAuth2";

std::string oPorDefecto(const std::string& valor, const std::string& porDefecto) {
    return valor.empty() ? porDefecto : valor;
}

} // namespace

PuntosOAuth puntosOAuth(const ConfiguracionOAuth& c) {
    PuntosOAuth p;
    switch (c.autenticacion) {
    case Autenticacion::Microsoft: {
        const std::string base = "https://login.microsoftonline.com/" +
                                 oPorDefecto(c.inquilino, "organizations") + "/oauth2/v2.0/";
        p = {base + "authorize", base + "token", base + "devicecode",
             // offline_access brings the refresh token that lets runs go on unattended.
             "https://outlook.office.com/SMTP.Send offline_access", true};
        break;
    }
    case Autenticacion::Google:
        p = {"https://accounts.google.com/o/oauth2/v2/auth", "https://oauth2.googleapis.com/token",
             "https://oauth2.googleapis.com/device/code", "https://mail.google.com/", false};
        break;
    case Autenticacion::OtroProveedor:
    case Autenticacion::Contrasena:
        break;
    }
    p.autorizacion = oPorDefecto(c.urlAutorizacion, p.autorizacion);
    p.token = oPorDefecto(c.urlToken, p.token);
    p.dispositivo = oPorDefecto(c.urlDispositivo, p.dispositivo);
    p.ambito = oPorDefecto(c.ambito, p.ambito);
    return p;
}

ConfiguracionOAuth LeerConfiguracionOAuth(const std::filesystem::path& krn) {
    ConfiguracionOAuth c;
    const double tipo = NumeroInicial(LeerIni(krn, kSeccion, "Autenticacion", "0"));
    if (tipo >= 1 && tipo <= 3 && tipo == static_cast<int>(tipo)) {
        c.autenticacion = static_cast<Autenticacion>(static_cast<int>(tipo));
    }
    c.cuenta = LeerIni(krn, kSeccion, "Cuenta", "");
    c.idCliente = LeerIni(krn, kSeccion, "IdCliente", "");
    c.secretoCliente = LeerIni(krn, kSeccion, "SecretoCliente", "");
    c.inquilino = LeerIni(krn, kSeccion, "Inquilino", "");
    c.urlAutorizacion = LeerIni(krn, kSeccion, "UrlAutorizacion", "");
    c.urlToken = LeerIni(krn, kSeccion, "UrlToken", "");
    c.urlDispositivo = LeerIni(krn, kSeccion, "UrlDispositivo", "");
    c.ambito = LeerIni(krn, kSeccion, "Ambito", "");
    return c;
}

bool GuardarConfiguracionOAuth(const std::filesystem::path& krn, const ConfiguracionOAuth& c) {
    return EscribirIni(krn, kSeccion, "Autenticacion",
                       std::to_string(static_cast<int>(c.autenticacion))) &&
           EscribirIni(krn, kSeccion, "Cuenta", c.cuenta) &&
           EscribirIni(krn, kSeccion, "IdCliente", c.idCliente) &&
           EscribirIni(krn, kSeccion, "SecretoCliente", c.secretoCliente) &&
           EscribirIni(krn, kSeccion, "Inquilino", c.inquilino) &&
           EscribirIni(krn, kSeccion, "UrlAutorizacion", c.urlAutorizacion) &&
           EscribirIni(krn, kSeccion, "UrlToken", c.urlToken) &&
           EscribirIni(krn, kSeccion, "UrlDispositivo", c.urlDispositivo) &&
           EscribirIni(krn, kSeccion, "Ambito", c.ambito);
}

std::string claveSesion(const ConfiguracionOAuth& c) {
    const PuntosOAuth p = puntosOAuth(c);
    return c.cuenta + "\n" + c.idCliente + "\n" + p.token;
}

} // namespace envio
