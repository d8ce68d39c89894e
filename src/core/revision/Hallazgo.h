#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace envio {

// "Revisar antes de enviar": every checked document of a run is looked at before anything goes
// out, and what is wrong is shown at once. A finding that blocks keeps its document from being
// sent; a warning is shown and the document goes if the user goes on.
enum class Gravedad { Bloquea, Aviso };

struct Hallazgo {
    std::size_t fila = 0;     // the row in the run's list
    std::string documento;    // the file name
    std::string destinatario; // the row's recipient, as listed
    std::string texto;
    Gravedad gravedad = Gravedad::Aviso;

    bool operator==(const Hallazgo&) const = default;
};

// What the user decided in the review: "Volver" sends nothing; "Enviar" sends what may be sent
// except the rows unticked in the review.
struct DecisionRevision {
    bool enviar = true;
    std::vector<std::size_t> desmarcadas;
};

} // namespace envio
