#include "database/Valor.h"

#include <array>
#include <charconv>
#include <cmath>

namespace envio {

std::string textoDeNumero(double n) {
    // The shortest digits that read back as `n`, written out in full for the magnitudes of
    // amounts and measures: an amount of -0.0001 shows as such, not as "-1e-04".
    const double magnitud = std::fabs(n);
    const bool sinExponente = magnitud == 0.0 || (magnitud >= 1e-5 && magnitud < 1e15);
    std::array<char, 64> cifras{};
    const auto escrito = sinExponente
                             ? std::to_chars(cifras.data(), cifras.data() + cifras.size(), n,
                                             std::chars_format::fixed)
                             : std::to_chars(cifras.data(), cifras.data() + cifras.size(), n);
    return {cifras.data(), escrito.ptr};
}

Valor Valor::numero(double n) {
    return numero(textoDeNumero(n));
}

std::optional<long long> Valor::comoEntero() const {
    const auto n = comoNumero();
    if (!n || std::trunc(*n) != *n || std::fabs(*n) > 9.0e15) {
        return std::nullopt;
    }
    return static_cast<long long>(*n);
}

std::optional<double> Valor::comoNumero() const {
    if (tipo_ == Tipo::Nulo) {
        return std::nullopt;
    }
    std::string_view limpio = texto_;
    while (!limpio.empty() && limpio.front() == ' ') {
        limpio.remove_prefix(1);
    }
    while (!limpio.empty() && limpio.back() == ' ') {
        limpio.remove_suffix(1);
    }
    if (!limpio.empty() && limpio.front() == '+') {
        limpio.remove_prefix(1);
    }
    double valor = 0.0;
    const auto lectura = std::from_chars(limpio.data(), limpio.data() + limpio.size(), valor);
    if (limpio.empty() || lectura.ec != std::errc{} ||
        lectura.ptr != limpio.data() + limpio.size() || !std::isfinite(valor)) {
        return std::nullopt;
    }
    return valor;
}

} // namespace envio
