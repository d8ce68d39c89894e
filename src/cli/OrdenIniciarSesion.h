#pragma once

#include "cli/LineaDeOrdenes.h"
#include "host/CarpetaPrograma.h"
#include "oauth/SesionOAuth.h"

#include <ostream>

namespace envio::cli {

// --iniciar-sesion: signs in the OAuth2 account of the server settings, in this machine's
// browser or (--con-codigo) with a code typed on any other device, and keeps the sign-in in
// this user's secret store, where the later runs find it. 0 when signed in, 2 otherwise.
int ordenIniciarSesion(const Opciones& opciones, const CarpetaPrograma& carpeta, HttpClient& http,
                       SecretStore& almacen, const Reloj& reloj, std::ostream& salida,
                       std::ostream& errores);

} // namespace envio::cli
