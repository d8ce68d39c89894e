#include "revision/Nif.h"

#include <cctype>

namespace envio {
namespace {

constexpr std::string_view kLetrasControl = "TRWAGMYFPDXBNJZSQVHLCKE";

std::string sinSeparadores(std::string_view texto) {
    std::string limpio;
    for (const char c : texto) {
        if (c == ' ' || c == '-' || c == '\t') {
            continue;
        }
        limpio += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return limpio;
}

bool todoDigitos(std::string_view texto) {
    for (const char c : texto) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return !texto.empty();
}

} // namespace

std::optional<std::string> nifValido(std::string_view texto) {
    std::string nif = sinSeparadores(texto);
    if (nif.size() != 9) {
        return std::nullopt;
    }
    // A NIE's leading letter stands for a digit in the check: X 0, Y 1, Z 2.
    std::string numero = nif.substr(0, 8);
    const std::string_view letrasNie = "XYZ";
    if (const auto n = letrasNie.find(numero[0]); n != std::string_view::npos) {
        numero[0] = static_cast<char>('0' + n);
    }
    if (!todoDigitos(numero)) {
        return std::nullopt;
    }
    if (kLetrasControl[std::stoul(numero) % 23] != nif[8]) {
        return std::nullopt;
    }
    return nif;
}

std::string nifDelDocumento(std::string_view rutaOArchivo) {
    const auto barra = rutaOArchivo.find_last_of("/\\");
    const std::string_view nombre =
        barra == std::string_view::npos ? rutaOArchivo : rutaOArchivo.substr(barra + 1);
    return nombre.size() < 24 ? std::string() : std::string(nombre.substr(15, 9));
}

} // namespace envio
