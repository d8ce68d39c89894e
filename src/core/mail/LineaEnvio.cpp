#include "mail/LineaEnvio.h"

#include <stdexcept>

namespace envio {

LineaEnvio::LineaEnvio(const std::atomic<bool>& cancelar)
    : cancelar_(cancelar), hilo_(&LineaEnvio::correr, this) {}

LineaEnvio::~LineaEnvio() {
    {
        const std::lock_guard bloqueo(m_);
        fin_ = true;
    }
    cambio_.notify_all();
    hilo_.join();
}

void LineaEnvio::poner(Tarea tarea) {
    {
        const std::lock_guard bloqueo(m_);
        if (esperando_) {
            throw std::logic_error("LineaEnvio: ya hay un mensaje esperando");
        }
        esperando_ = std::move(tarea);
    }
    cambio_.notify_all();
}

LineaEnvio::Estado LineaEnvio::esperar(const std::function<bool(const Estado&)>& hasta) {
    std::unique_lock bloqueo(m_);
    Estado e;
    cambio_.wait(bloqueo, [&] {
        e = {hechas_, esperando_.has_value(), detenida_};
        return hasta(e);
    });
    return e;
}

LineaEnvio::Estado LineaEnvio::estado() {
    const std::lock_guard bloqueo(m_);
    return {hechas_, esperando_.has_value(), detenida_};
}

void LineaEnvio::retomar() {
    {
        const std::lock_guard bloqueo(m_);
        detenida_ = false;
    }
    cambio_.notify_all();
}

bool LineaEnvio::retirar() {
    const std::lock_guard bloqueo(m_);
    const bool habia = esperando_.has_value();
    esperando_.reset();
    return habia;
}

// The run is woken once per message: when the next message is taken at once, that one wake-up
// tells it both the answer and the free place. Every notice goes out with the lock released, so
// the run does not wake only to wait for it.
void LineaEnvio::correr() {
    std::unique_lock bloqueo(m_);
    const auto avisar = [this, &bloqueo] {
        bloqueo.unlock();
        cambio_.notify_all();
        bloqueo.lock();
    };
    for (;;) {
        cambio_.wait(bloqueo, [this] { return fin_ || (esperando_ && !detenida_); });
        if (fin_) {
            return;
        }
        if (cancelar_) {
            // Esc: what waits stays for the run to take back.
            detenida_ = true;
            avisar();
            continue;
        }
        Tarea tarea = std::move(*esperando_);
        esperando_.reset();
        bloqueo.unlock();
        cambio_.notify_all();
        const bool sigue = tarea();
        bloqueo.lock();
        ++hechas_;
        detenida_ = detenida_ || !sigue;
        if (fin_ || !esperando_ || detenida_ || cancelar_) {
            avisar();
        }
    }
}

} // namespace envio
