#include "cli/ObservadorConsola.h"

namespace envio::cli {

ObservadorConsola::ObservadorConsola(std::ostream& salida, bool esTerminal)
    : salida_(salida), terminal_(esTerminal) {}

void ObservadorConsola::progresoVisible(bool visible) {
    if (terminal_ && visible_ && !visible) {
        salida_ << "\r\033[K" << std::flush;
    }
    visible_ = visible;
    dibujar();
}

void ObservadorConsola::progresoMaximo(int maximo) {
    maximo_ = maximo > 0 ? maximo : 1;
    dibujar();
}

void ObservadorConsola::progresoValor(int valor) {
    valor_ = valor;
    dibujar();
}

void ObservadorConsola::textoProgreso(const std::string& texto) {
    texto_ = texto;
    dibujar();
}

void ObservadorConsola::dibujar() {
    if (!terminal_ || !visible_) {
        return;
    }
    constexpr int kAncho = 30;
    const int lleno = std::min(kAncho, valor_ * kAncho / maximo_);
    salida_ << "\r" << texto_ << " [" << std::string(static_cast<std::size_t>(lleno), '#')
            << std::string(static_cast<std::size_t>(kAncho - lleno), ' ') << "] " << valor_ << "/"
            << maximo_ << std::flush;
}

} // namespace envio::cli
