#pragma once

#include "database/BaseDatos.h"

#include <string>
#include <unordered_map>

namespace envio {

// The address of every client that has "E" rows in CLITELEFONOS, read in one pass: among its
// rows, in the database's order, the `numero` of the first with a non-zero `Prioridad`, else of
// the last, without blanks. A client without such rows has no entry at all.
std::unordered_map<long long, std::string> leerDireccionesClientes(BaseDatos& db);

} // namespace envio
