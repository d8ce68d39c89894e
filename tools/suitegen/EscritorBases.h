#pragma once

#include "GeneradorSuite.h"

#include <JetWriter.h>

namespace suitegen {

// A table before it is written, the same for both formats.
struct TablaGenerada {
    std::string nombre;
    std::vector<jetwriter::Column> columnas;
    std::vector<std::vector<jetwriter::Value>> filas;
};

void escribirTablas(const std::filesystem::path& archivo, Formato formato,
                    const std::vector<TablaGenerada>& tablas);

void escribirBaseFacturas(const std::filesystem::path& archivo, Formato formato,
                          const std::vector<Cliente>& clientes);
void escribirBaseNomina(const std::filesystem::path& archivo, Formato formato,
                        const std::vector<Empleado>& empleados);
void escribirBaseAlternativa(const std::filesystem::path& archivo, Formato formato,
                             const std::vector<DireccionAlternativa>& filas);

} // namespace suitegen
