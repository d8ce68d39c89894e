#pragma once

#include <string>

namespace envio {

// Multi-line texts live on one settings line with bracket markers. The markers are crossed on
// purpose ("[CR]" is the line feed, "[LF]" the carriage return): files already written that way
// must keep reading back unchanged. A character outside the table is left as it is.
std::string ConvertirCaracter(std::string texto, char caracter, bool codificar);

// The callers' convention for a whole text: line feed first, then carriage return.
std::string codificarSaltos(std::string texto);
std::string decodificarSaltos(std::string texto);

} // namespace envio
