#pragma once

#include "host/CarpetaPrograma.h"
#include "platform/CurlMailTransport.h"

namespace envio {

// The mail component's options for this site: a server whose certificate comes from the site's
// own authority names that authority's certificate file in KRN.INI ([servidor] ArchivoCA).
OpcionesCurl opcionesComponente(const CarpetaPrograma& carpeta);

} // namespace envio
