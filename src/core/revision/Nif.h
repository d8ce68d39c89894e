#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace envio {

// A Spanish tax number as the payroll documents carry it: a DNI (eight digits and the check
// letter) or a NIE (X, Y or Z, seven digits and the check letter). Letters count without regard
// to case; blanks and hyphens are ignored. The NIF in upper case without separators when its
// check letter is right, nothing otherwise.
std::optional<std::string> nifValido(std::string_view texto);

// The tax number a payroll document's file name carries (positions 16 to 24), as the list
// shows it; empty when the name is shorter.
std::string nifDelDocumento(std::string_view rutaOArchivo);

} // namespace envio
