#include "database/Valor.h"

#include <array>
#include <charconv>
#include <cmath>

namespace envio {

std::string textoDeNumero(double n) {
    // The shortest digits that read back as `n`, written out in full for the magnitudes of
    // amounts and measures: an amount of -0.0001 shows as such, not as "-1e-04".
    const double magnitude = std::fabs(n);
    const bool plain = magnitude == 0.0 || (magnitude >= 1e-5 && magnitude < 1e15);
    std::array<char, 64> buffer{};
    const auto result = plain ? std::to_chars(buffer.data(), buffer.data() + buffer.size(), n,
                                              std::chars_format::fixed)
                              : std::to_chars(buffer.data(), buffer.data() + buffer.size(), n);
    return {buffer.data(), result.ptr};
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
    std::string_view text = texto_;
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    double value = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || result.ec != std::errc{} || result.ptr != text.data() + text.size() ||
        !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

} // namespace envio
