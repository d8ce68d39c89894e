#include "database/TablaLeida.h"

#include "database/Texto.h"

namespace envio {

int TablaLeida::posicion(std::string_view columna) const {
    for (std::size_t i = 0; i < columnas.size(); ++i) {
        if (igualesSinMayusculas(columnas[i], columna)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

} // namespace envio
