#pragma once

#include <string>
#include <string_view>

namespace envio {

// Jet compares names and texts without regard to case, accented letters included ("PEÑA" equals
// "peña"). Texts are UTF-8; letters beyond Latin-1 compare as they are.
std::string mayusculas(std::string_view utf8);
bool igualesSinMayusculas(std::string_view a, std::string_view b);
// Order for sorting as the suite's Spanish users expect: case and accents do not count ("Álvarez"
// before "Bravo") and "ñ" comes after "n".
int compararParaOrdenar(std::string_view a, std::string_view b);
// The key whose byte order is that order, to compute once per row when sorting many.
std::string claveParaOrdenar(std::string_view utf8);

// The text without the blanks at its ends (spaces only, as the suite trims its values).
std::string sinBlancos(std::string_view texto);

} // namespace envio
