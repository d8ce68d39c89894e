#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace envio {

// A report failure in the user's words.
class ErrorInforme : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The words the program has always used for a report definition it cannot find or read.
inline constexpr std::string_view kReporteNoEncontrado =
    "El archivo de reporte no se encuentra, restáurelo de los discos de instalación";

// The formula text that yields `valor` as written: the value between single quotes, each quote
// inside it doubled, so that a name like "D'Angelo" can neither end the literal early nor break
// the report.
std::string formulaDeTexto(std::string_view valor);

// The text a formula yields. A formula is one quoted literal, 'texto' or "texto", where a doubled
// quote of the same kind stands for one quote; blanks around it do not count, and a blank
// formula yields the empty text. Throws ErrorInforme for anything else.
std::string evaluarFormula(std::string_view formula);

} // namespace envio
