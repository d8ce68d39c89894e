#include "database/Registros.h"

#include "database/ErrorBaseDatos.h"

namespace envio {

const Valor& Registros::campo(std::string_view nombre) const {
    const int posicion = tabla_.posicion(nombre);
    if (posicion < 0) {
        throw ErrorBaseDatos("El campo " + std::string(nombre) + " no existe en " + tabla_.nombre);
    }
    return campo(static_cast<std::size_t>(posicion));
}

const Valor& Registros::campo(std::size_t posicion) const {
    if (fin() || posicion >= tabla_.columnas.size()) {
        throw ErrorBaseDatos("No hay registro actual en " + tabla_.nombre);
    }
    return tabla_.filas[actual_][posicion];
}

} // namespace envio
