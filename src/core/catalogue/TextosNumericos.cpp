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
    std::string cifras = fifteenDigits(kilobytes(bytes));
    if (cifras.starts_with("0.")) {
        cifras.erase(0, 1);
    }
    return " " + cifras + " KB";
}

std::string tamanoFacturaBusqueda(std::uintmax_t bytes) {
    std::string cifras = fifteenDigits(kilobytes(bytes));
    for (auto& c : cifras) {
        if (c == '.') {
            c = ',';
        }
    }
    return cifras + " KB";
}

std::string tamanoNomina(std::uintmax_t bytes) {
    return " " + std::to_string(bytes / 1024) + " KB";
}

std::string conCeros(long long codigo, int digitos) {
    const bool negativo = codigo < 0;
    std::string cifras = std::to_string(negativo ? -codigo : codigo);
    if (static_cast<int>(cifras.size()) < digitos) {
        cifras.insert(0, static_cast<std::size_t>(digitos) - cifras.size(), '0');
    }
    return negativo ? "-" + cifras : cifras;
}

} // namespace envio
