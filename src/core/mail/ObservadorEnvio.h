#pragma once

#include "catalogue/ListaVista.h"

#include <cstddef>
#include <string>

namespace envio {

// What a run shows while it works: the progress bar and its label, the busy pointer, and the
// rows it changes. A window re-emits these on its own thread; the command line draws a bar. Each
// does nothing here, so that one showing only some of them overrides those (and a run that
// shows nothing, as the notices on the command line, takes this one as it is).
class ObservadorEnvio {
public:
    virtual ~ObservadorEnvio() = default;
    virtual void progresoVisible(bool /*visible*/) {}
    virtual void progresoMaximo(int /*maximo*/) {}
    virtual void progresoValor(int /*valor*/) {}
    virtual void textoProgreso(const std::string& /*texto*/) {}
    virtual void punteroOcupado(bool /*ocupado*/) {}
    // A row's icon, tag or colour changed; `fila` is its new state.
    virtual void filaCambiada(std::size_t /*indice*/, const FilaLista& /*fila*/) {}
};

} // namespace envio
