#pragma once

#include "catalogue/ListaVista.h"

#include <cstddef>
#include <string>

namespace envio {

// What a run shows while it works: the progress bar and its label, the busy pointer, and the
// rows it changes. A window re-emits these on its own thread; the command line draws a bar.
class ObservadorEnvio {
public:
    virtual ~ObservadorEnvio() = default;
    virtual void progresoVisible(bool visible) = 0;
    virtual void progresoMaximo(int maximo) = 0;
    virtual void progresoValor(int valor) = 0;
    virtual void textoProgreso(const std::string& texto) = 0;
    virtual void punteroOcupado(bool ocupado) = 0;
    // A row's icon, tag or colour changed; `fila` is its new state.
    virtual void filaCambiada(std::size_t indice, const FilaLista& fila) = 0;
};

} // namespace envio
