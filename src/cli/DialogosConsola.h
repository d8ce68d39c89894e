#pragma once

#include "ui/Dialogos.h"

#include <ostream>

namespace envio::cli {

// Message boxes on the command line: one line per box on the error stream, the title, then the
// text. Questions get the answer fixed beforehand (nobody is there to ask).
class DialogosConsola : public Dialogos {
public:
    DialogosConsola(std::ostream& salida, Respuesta respuestaAPreguntas);
    Respuesta mostrar(const CuadroMensaje& cuadro) override;
    // The review, one finding per line; the run goes on as "Enviar" does.
    DecisionRevision revisar(const std::vector<Hallazgo>& hallazgos) override;

private:
    std::ostream& salida_;
    Respuesta respuesta_;
};

} // namespace envio::cli
