#include "cli/DialogosConsola.h"

#include "revision/RevisionEnvio.h"

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

DecisionRevision DialogosConsola::revisar(const std::vector<Hallazgo>& hallazgos) {
    salida_ << "Revisar antes de enviar:\n";
    for (const auto& h : hallazgos) {
        salida_ << lineaHallazgo(h) << '\n';
    }
    salida_ << std::flush;
    return {};
}

} // namespace envio::cli
