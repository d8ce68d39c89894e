#pragma once

#include <atomic>

namespace envio {

// The main window's cancel flag. Esc sets it on the window's thread while a run, which may be on
// a worker thread, clears it when it starts and reads it between recipients; hence atomic.
class Cancelacion {
public:
    void pedir() noexcept { pedida_.store(true); }
    void limpiar() noexcept { pedida_.store(false); }
    [[nodiscard]] bool pedida() const noexcept { return pedida_.load(); }
    // The flag itself, as the runs take it.
    std::atomic<bool>& bandera() noexcept { return pedida_; }

private:
    std::atomic<bool> pedida_{false};
};

} // namespace envio
