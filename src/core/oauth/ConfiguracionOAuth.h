#pragma once

#include <filesystem>
#include <string>

namespace envio {

// How the program signs in to the mail server: the classic user and password, or an OAuth2
// sign-in with one of the two big providers or another one.
enum class Autenticacion { Contrasena = 0, Microsoft = 1, Google = 2, OtroProveedor = 3 };

// The site's registration with its provider, kept in KRN.INI ([OAuth2]). The tokens are never
// here: the file is shared by the whole office.
struct ConfiguracionOAuth {
    Autenticacion autenticacion = Autenticacion::Contrasena;
    std::string cuenta;         // the mailbox that signs in and sends
    std::string idCliente;      // the application's registration with the provider
    std::string secretoCliente; // Google's desktop clients come with one; not confidential
    std::string inquilino;      // Microsoft's tenant (directory id or domain); "organizations"
    // Another provider's endpoints and scope; for the two big ones, an entry here replaces the
    // built-in one.
    std::string urlAutorizacion;
    std::string urlToken;
    std::string urlDispositivo;
    std::string ambito;

    [[nodiscard]] bool usaOAuth() const { return autenticacion != Autenticacion::Contrasena; }
    bool operator==(const ConfiguracionOAuth&) const = default;
};

// Where a sign-in goes, with the built-in values filled in.
struct PuntosOAuth {
    std::string autorizacion;
    std::string token;
    std::string dispositivo; // empty: the provider has no device sign-in
    std::string ambito;
    // Microsoft's desktop registrations name http://localhost as their redirect; elsewhere the
    // loopback address itself (RFC 8252, 8.3).
    bool redireccionLocalhost = false;
};

PuntosOAuth puntosOAuth(const ConfiguracionOAuth& configuracion);

ConfiguracionOAuth LeerConfiguracionOAuth(const std::filesystem::path& krn);
// False when the file could not be written.
bool GuardarConfiguracionOAuth(const std::filesystem::path& krn,
                               const ConfiguracionOAuth& configuracion);

// The key of this sign-in's refresh token in the secret store: the same account with another
// registration or provider is another sign-in.
std::string claveSesion(const ConfiguracionOAuth& configuracion);

} // namespace envio
