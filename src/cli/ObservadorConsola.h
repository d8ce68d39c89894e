#pragma once

#include "mail/ObservadorEnvio.h"

#include <ostream>

namespace envio::cli {

// A run's progress on the error stream: a bar redrawn in place when it is a terminal, nothing
// otherwise (a log file gets the boxes' lines only).
class ObservadorConsola : public ObservadorEnvio {
public:
    ObservadorConsola(std::ostream& salida, bool esTerminal);
    void progresoVisible(bool visible) override;
    void progresoMaximo(int maximo) override;
    void progresoValor(int valor) override;
    void textoProgreso(const std::string& texto) override;
    void punteroOcupado(bool) override {}
    void filaCambiada(std::size_t, const FilaLista&) override {}

private:
    void dibujar();
    std::ostream& salida_;
    bool terminal_;
    bool visible_ = false;
    int maximo_ = 1;
    int valor_ = 0;
    std::string texto_;
};

} // namespace envio::cli
