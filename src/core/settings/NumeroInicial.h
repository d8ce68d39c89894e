#pragma once

#include <string_view>

namespace envio {

// The number a text begins with, the way the suite's settings are read: blanks anywhere are
// skipped ("  2 5" is 25), a sign, digits, a decimal point and an exponent are taken, and the
// first other character ends it; a text without a number is 0. Independent of the locale.
double NumeroInicial(std::string_view texto);

// Rounds half to the even neighbour, as the suite's integer conversion does.
long long redondearAPar(double valor);

} // namespace envio
