#pragma once

#include <cstdint>
#include <string>

namespace envio {

// The number texts that the lists show and search, the same on every machine.

// The size column of an invoice: KB with every significant digit (up to 15), "." as the decimal
// point, a leading blank and no zero before the point, as the suite's own lists write it:
// " 2 KB", " 1.5 KB", " .9765625 KB".
std::string tamanoFactura(std::uintmax_t bytes);
// The same size as the search text holds it, written the Spanish way: "1,5 KB", "0,9765625 KB".
std::string tamanoFacturaBusqueda(std::uintmax_t bytes);
// Payroll sizes drop the fraction: " 1 KB".
std::string tamanoNomina(std::uintmax_t bytes);

// A code with at least `digitos` digits ("00123"); longer codes keep all their digits.
std::string conCeros(long long codigo, int digitos);

} // namespace envio
