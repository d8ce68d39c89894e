#include "settings/NumeroInicial.h"

#include <charconv>
#include <cmath>
#include <string>

namespace envio {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The text without blanks, cut where the number ends.
std::string numberPart(std::string_view text) {
    std::string out;
    bool point = false;
    bool exponent = false;
    for (const char c : text) {
        if (isBlank(c)) {
            continue;
        }
        const bool signAllowed = out.empty() || (exponent && (out.back() == 'e'));
        if (isDigit(c) || ((c == '+' || c == '-') && signAllowed)) {
            out += c;
        } else if (c == '.' && !point && !exponent) {
            point = true;
            out += c;
        } else if ((c == 'e' || c == 'E' || c == 'd' || c == 'D') && !exponent && !out.empty()) {
            exponent = true;
            out += 'e';
        } else {
            break;
        }
    }
    return out;
}

} // namespace

double NumeroInicial(std::string_view texto) {
    std::string numero = numberPart(texto);
    if (!numero.empty() && numero.front() == '+') {
        numero.erase(0, 1); // from_chars takes no plus sign
    }
    // An exponent or point with nothing after it still leaves the number before it.
    while (!numero.empty() && !isDigit(numero.back())) {
        numero.pop_back();
    }
    double valor = 0.0;
    const auto lectura = std::from_chars(numero.data(), numero.data() + numero.size(), valor);
    if (lectura.ec != std::errc{} || !std::isfinite(valor)) {
        return 0.0;
    }
    return valor;
}

long long redondearAPar(double valor) {
    if (!std::isfinite(valor) || std::fabs(valor) > 9.0e18) {
        return 0;
    }
    return static_cast<long long>(std::nearbyint(valor)); // default rounding mode: half to even
}

} // namespace envio
