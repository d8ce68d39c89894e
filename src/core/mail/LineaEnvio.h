#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace envio {

// The thread a run hands its messages to, one after another: the next message goes the moment
// the server has answered the one before, while the run settles that answer and gets the one
// after ready. One message waits while one is on the wire.
//
// The line takes nothing more after Esc, nor after a message whose answer the run must act on
// before anything else goes (its task returns false) until the run calls `retomar`. A message
// left waiting then is the run's to take back with `retirar`.
class LineaEnvio {
public:
    // Sends one message; false when the line must wait for the run before the next. Never throws.
    using Tarea = std::function<bool()>;

    struct Estado {
        std::size_t hechas = 0; // tasks finished since the line began
        bool esperando = false; // a task waits for its turn
        bool detenida = false;  // the line takes nothing now (Esc, or an answer to act on)
    };

    explicit LineaEnvio(const std::atomic<bool>& cancelar);
    // Waits for the message on the wire; a message still waiting never goes.
    ~LineaEnvio();
    LineaEnvio(const LineaEnvio&) = delete;
    LineaEnvio& operator=(const LineaEnvio&) = delete;

    // Puts `tarea` in the waiting place, which must be free.
    void poner(Tarea tarea);
    // Waits until `hasta` holds for the line's state, and returns that state.
    Estado esperar(const std::function<bool(const Estado&)>& hasta);
    [[nodiscard]] Estado estado();
    // The run has acted on the answer that stopped the line: it goes on.
    void retomar();
    // Takes back the waiting task, if the line has not taken it: true when it never ran.
    bool retirar();

private:
    void correr();

    const std::atomic<bool>& cancelar_;
    std::mutex m_;
    std::condition_variable cambio_;
    std::optional<Tarea> esperando_;
    std::size_t hechas_ = 0;
    bool detenida_ = false;
    bool fin_ = false;
    std::thread hilo_; // last: it starts once everything above is in place
};

} // namespace envio
