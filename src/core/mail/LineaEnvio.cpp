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
    for (;;) {
        const Estado e = estadoBloqueado();
        if (hasta(e)) {
            return e;
        }
        // kPlazoDatos passing is the one change nobody tells.
        if (e.libre) {
            cambio_.wait(bloqueo);
        } else {
            cambio_.wait_until(bloqueo, comienzo_ + kPlazoDatos);
        }
    }
}

LineaEnvio::Estado LineaEnvio::estado() {
    const std::lock_guard bloqueo(m_);
    return estadoBloqueado();
}

LineaEnvio::Estado LineaEnvio::estadoBloqueado() const {
    return {hechas_, esperando_.has_value(), detenida_,
            !enCurso_ || entregado_ || std::chrono::steady_clock::now() >= comienzo_ + kPlazoDatos};
}

void LineaEnvio::marcarEntregado() {
    {
        const std::lock_guard bloqueo(m_);
        entregado_ = true;
    }
    cambio_.notify_all();
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

// Every change is told, with the lock released so that the run does not wake only to wait for
// it. Taking a message wakes the run only to start its wait for the data (nothing is free until
// then); the wake-up that counts comes when the data are out, and tells it the answer before, the
// free place and that it may work.
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
        enCurso_ = true;
        entregado_ = false;
        comienzo_ = std::chrono::steady_clock::now();
        bloqueo.unlock();
        cambio_.notify_all();
        const bool sigue = tarea([this] { marcarEntregado(); });
        bloqueo.lock();
        enCurso_ = false;
        ++hechas_;
        detenida_ = detenida_ || !sigue;
        if (fin_ || !esperando_ || detenida_ || cancelar_) {
            avisar();
        }
    }
}

} // namespace envio
