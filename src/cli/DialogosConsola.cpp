#include "cli/DialogosConsola.h"

namespace envio::cli {

DialogosConsola::DialogosConsola(std::ostream& salida, Respuesta respuestaAPreguntas)
    : salida_(salida), respuesta_(respuestaAPreguntas) {}

Respuesta DialogosConsola::mostrar(const CuadroMensaje& cuadro) {
    std::string texto = cuadro.texto;
    for (auto& c : texto) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    salida_ << cuadro.titulo << ": " << texto;
    if (cuadro.botones == Botones::SiNo) {
        salida_ << (respuesta_ == Respuesta::Si ? " [Sí]" : " [No]");
        salida_ << '\n' << std::flush;
        return respuesta_;
    }
    salida_ << '\n' << std::flush;
    return Respuesta::Aceptar;
}

} // namespace envio::cli
