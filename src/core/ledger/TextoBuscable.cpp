#include "ledger/TextoBuscable.h"

#include "database/Texto.h"

namespace envio {
namespace {

std::string_view nombreArchivo(std::string_view ruta) {
    const auto barra = ruta.find_last_of("/\\");
    return barra == std::string_view::npos ? ruta : ruta.substr(barra + 1);
}

} // namespace

std::string textoBuscable(const CamposBuscables& c) {
    const bool aviso = c.documento.starts_with(kPrefijoAviso);
    std::string texto = claveParaOrdenar(c.nombreListado);
    for (const std::string_view campo :
         {c.direccion, aviso ? c.documento : nombreArchivo(c.documento),
          nombreArchivo(c.enviadoComo), c.respuesta, c.messageId}) {
        texto += kSeparadorBuscable;
        texto += claveParaOrdenar(campo);
    }
    return texto;
}

std::string busquedaPlegada(std::string_view texto) {
    return claveParaOrdenar(sinBlancos(texto));
}

} // namespace envio
