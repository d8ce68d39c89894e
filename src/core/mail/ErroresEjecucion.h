#pragma once

#include <string>

namespace envio {

// What both sending runs share when something unexpected ends them: the number the error box
// shows for each kind of failure, and the failure itself.
inline constexpr long kErrorArchivo = 75;     // a document file could not be read, moved or written
inline constexpr long kErrorBaseDatos = 3051; // the work database or the ledger could not be used
inline constexpr long kErrorSilencioso = 32026; // ends the run without a box

struct Interrupcion {
    long numero;
    std::string descripcion;
};

// Now, in UTC, as the ledger records times ("2026-03-15T08:30:00Z").
std::string horaUtc();

} // namespace envio
