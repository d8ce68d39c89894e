#include "ledger/FilaHistorial.h"

namespace envio {
namespace {

std::string nombreArchivo(const std::string& ruta) {
    const auto barra = ruta.find_last_of("/\\");
    return barra == std::string::npos ? ruta : ruta.substr(barra + 1);
}

} // namespace

std::string_view nombreResultado(ResultadoHistorial resultado) {
    switch (resultado) {
    case ResultadoHistorial::Enviado:
        return "enviado";
    case ResultadoHistorial::Rechazado:
        return "rechazado";
    case ResultadoHistorial::Dudoso:
        return "dudoso";
    case ResultadoHistorial::Marcado:
        return "marcado";
    }
    return "dudoso";
}

std::optional<ResultadoHistorial> resultadoPorNombre(std::string_view nombre) {
    for (const auto r : {ResultadoHistorial::Enviado, ResultadoHistorial::Rechazado,
                         ResultadoHistorial::Dudoso, ResultadoHistorial::Marcado}) {
        if (nombreResultado(r) == nombre) {
            return r;
        }
    }
    return std::nullopt;
}

const std::array<std::string_view, kColumnasHistorial>& titulosHistorial() {
    static const std::array<std::string_view, kColumnasHistorial> titulos = {
        "Fecha y hora",     "Tipo",      "Destinatario",           "Dirección", "Documento",
        "Nombre al enviar", "Resultado", "Respuesta del servidor", "Message-ID"};
    return titulos;
}

std::string textoColumna(const FilaHistorial& f, ColumnaHistorial columna) {
    switch (columna) {
    case ColumnaHistorial::Hora:
        return f.hora;
    case ColumnaHistorial::Tipo:
        return f.aviso ? "aviso" : "documento";
    case ColumnaHistorial::Destinatario:
        return f.destinatario;
    case ColumnaHistorial::Direccion:
        return f.direccion;
    case ColumnaHistorial::Documento:
        return f.aviso ? f.documento : nombreArchivo(f.documento);
    case ColumnaHistorial::EnviadoComo:
        return nombreArchivo(f.enviadoComo);
    case ColumnaHistorial::Resultado:
        return std::string(nombreResultado(f.resultado));
    case ColumnaHistorial::Respuesta:
        return f.respuesta;
    case ColumnaHistorial::MessageId:
        return f.messageId;
    }
    return {};
}

std::string nombreArchivoEnviado(const FilaHistorial& f) {
    return nombreArchivo(f.enviadoComo.empty() ? f.documento : f.enviadoComo);
}

} // namespace envio
