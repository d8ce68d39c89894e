#pragma once

#include "platform/PdfEngine.h"

#include <set>
#include <string>

namespace envio {

// What a payroll run needs to mail each document as a copy protected with its employee's NIF:
// the PDF engine, the employees who asked for no password (their NIFs) and the line added after
// the body of the protected ones.
struct ProteccionNominas {
    PdfEngine& pdf;
    std::set<std::string> sinContrasena;
    std::string linea;
};

} // namespace envio
