#include "catalogue/TextosNumericos.h"

#include <array>
#include <charconv>

namespace envio {
namespace {

std::string fifteenDigits(double value) {
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::general, 15);
    return {buffer.data(), result.ptr};
}

double kilobytes(std::uintmax_t bytes) {
    return static_cast<double>(bytes) / 1024.0;
}

} // namespace

std::string tamanoFactura(std::uintmax_t bytes) {
    std::string number = fifteenDigits(kilobytes(bytes));
    if (number.starts_with("0.")) {
        number.erase(0, 1);
    }
    return " " + number + " KB";
}

std::string tamanoFacturaBusqueda(std::uintmax_t bytes) {
    std::string number = fifteenDigits(kilobytes(bytes));
    for (auto& c : number) {
        if (c == '.') {
            c = ',';
        }
    }
    return number + " KB";
}

std::string tamanoNomina(std::uintmax_t bytes) {
    return " " + std::to_string(bytes / 1024) + " KB";
}

std::string conCeros(long long codigo, int digitos) {
    const bool negative = codigo < 0;
    std::string digits = std::to_string(negative ? -codigo : codigo);
    if (static_cast<int>(digits.size()) < digitos) {
        digits.insert(0, static_cast<std::size_t>(digitos) - digits.size(), '0');
    }
    return negative ? "-" + digits : digits;
}

} // namespace envio
