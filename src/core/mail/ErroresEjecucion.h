#pragma once

#include <exception>
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

class Dialogos;

// The error exit for whatever ended a run, or kept it from starting: the mail component's own
// number, 3051 for the work database or the ledger, 75 for anything else (a document file).
Interrupcion interrupcionDe(const std::exception& error);

// The error exit's box: "number description", information icon, OK, "Aviso"; none for 32026.
void mostrarInterrupcion(Dialogos& dialogos, const Interrupcion& interrupcion);

// Now, in UTC, as the ledger records times ("2026-03-15T08:30:00Z").
std::string horaUtc();

} // namespace envio
