#pragma once

#include "database/Valor.h"

#include <string>
#include <vector>

namespace envio {

// The rows of one table as an engine delivered them, in the engine's order.
struct TablaLeida {
    std::string nombre;
    std::vector<std::string> columnas; // names as the table defines them
    std::vector<std::vector<Valor>> filas;

    // The column's position, matching names without regard to case; -1 when absent.
    [[nodiscard]] int posicion(std::string_view columna) const;
};

} // namespace envio
