#pragma once

#include <atomic>
#include <chrono>
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
// The run does that work once the message on the wire has handed the connection all its data
// (`Estado::libre`). Before that, the conversation with the server is a run of short commands
// and replies (MAIL, RCPT, DATA, the data itself), each waiting for this process to answer at
// once; the run's file and ledger work on the same processor delays every one of those answers,
// and the server waits. After it, the server takes milliseconds to read and store the message,
// and nothing the run does holds it up. That matters where replies come in microseconds (a
// server on the local network); over the internet each reply takes milliseconds anyway, the data
// take long to go, and the run does not wait beyond `kPlazoDatos` from the message's start: the
// answer before is settled (its record written, the progress shown) without waiting for a whole
// upload.
//
// The line takes nothing more after Esc, nor after a message whose answer the run must act on
// before anything else goes (its task returns false) until the run calls `retomar`. A message
// left waiting then is the run's to take back with `retirar`.
class LineaEnvio {
public:
    static constexpr std::chrono::milliseconds kPlazoDatos{20};

    // Sends one message; false when the line must wait for the run before the next. Never throws.
    // It calls `entregado` once its message's data are all with the connection.
    using Tarea = std::function<bool(const std::function<void()>& entregado)>;

    struct Estado {
        std::size_t hechas = 0; // tasks finished since the line began
        bool esperando = false; // a task waits for its turn
        bool detenida = false;  // the line takes nothing now (Esc, or an answer to act on)
        // Nothing is on the wire, or only its answer is left to come, or its data have taken
        // longer than kPlazoDatos: the run may work now.
        bool libre = true;
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
    void marcarEntregado();
    [[nodiscard]] Estado estadoBloqueado() const;

    const std::atomic<bool>& cancelar_;
    std::mutex m_;
    std::condition_variable cambio_;
    std::optional<Tarea> esperando_;
    std::size_t hechas_ = 0;
    bool detenida_ = false;
    bool enCurso_ = false;                           // a task is running
    bool entregado_ = false;                         // and its data are all out
    std::chrono::steady_clock::time_point comienzo_; // when it began
    bool fin_ = false;
    std::thread hilo_; // last: it starts once everything above is in place
};

} // namespace envio
