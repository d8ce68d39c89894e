#pragma once

#include "catalogue/ListaVista.h"

#include <string>
#include <string_view>

namespace envio {

// Checks or unchecks rows by mode ("TODO", "NADA", "INVERTIR", "EMAIL", "PENDIENTE"; the mode is
// trimmed and upper-cased; any other leaves the rows alone). Returns the counter text that the
// selection commands show.
std::string Seleccionar(ListaVista& lista, std::string_view strTexto);

int ContarSeleccionados(const ListaVista& lista);

// The counter as a mouse click in the list leaves it (the same text as the selection commands),
// and as a key in the list leaves it. The texts differ, as they always have.
std::string textoSeleccionadosRaton(const ListaVista& lista);
std::string textoSeleccionadosTeclado(const ListaVista& lista);

} // namespace envio
