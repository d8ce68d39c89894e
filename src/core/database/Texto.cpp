#include "database/Texto.h"

namespace envio {

std::string mayusculas(std::string_view utf8) {
    std::string resultado(utf8);
    for (std::size_t i = 0; i < resultado.size(); ++i) {
        const auto c = static_cast<unsigned char>(resultado[i]);
        if (c >= 'a' && c <= 'z') {
            resultado[i] = static_cast<char>(c - 32);
        } else if (c == 0xC3 && i + 1 < resultado.size()) {
            // U+00E0..U+00FE (but not ÷) is 0xC3 0xA0..0xBE; their capitals are 0xC3 0x80..0x9E.
            const auto siguiente = static_cast<unsigned char>(resultado[i + 1]);
            if (siguiente >= 0xA0 && siguiente <= 0xBE && siguiente != 0xB7) {
                resultado[i + 1] = static_cast<char>(siguiente - 0x20);
            }
            ++i;
        }
    }
    return resultado;
}

bool igualesSinMayusculas(std::string_view a, std::string_view b) {
    return a.size() == b.size() && mayusculas(a) == mayusculas(b);
}

namespace {

// Sort weight of U+00C0..U+00FF (after folding to capitals): the base letter, or 0 to keep it.
char baseLetter(unsigned char latin1) {
    using namespace std::string_view_literals;
    static constexpr std::string_view kBases = "AAAAAAACEEEEIIII"        // C0..CF
                                               "D\0OOOOO\0OUUUUY\0\0"sv; // D0..DF
    const std::size_t index = latin1 - 0xC0U;
    return index < kBases.size() ? kBases[index] : '\0';
}

} // namespace

std::string claveParaOrdenar(std::string_view utf8) {
    const std::string enMayusculas = mayusculas(utf8);
    std::string clave;
    clave.reserve(enMayusculas.size());
    for (std::size_t i = 0; i < enMayusculas.size(); ++i) {
        const auto c = static_cast<unsigned char>(enMayusculas[i]);
        if (c == 0xC3 && i + 1 < enMayusculas.size()) {
            const auto latin1 = static_cast<unsigned char>(0xC0 + (enMayusculas[i + 1] & 0x3F));
            if (latin1 == 0xD1) { // Ñ
                clave += "N\x7F";
                ++i;
                continue;
            }
            if (const char base = baseLetter(latin1); base != '\0') {
                clave += base;
                ++i;
                continue;
            }
        }
        clave += static_cast<char>(c);
    }
    return clave;
}

int compararParaOrdenar(std::string_view a, std::string_view b) {
    return claveParaOrdenar(a).compare(claveParaOrdenar(b));
}

std::string sinBlancos(std::string_view texto) {
    const auto inicio = texto.find_first_not_of(' ');
    if (inicio == std::string_view::npos) {
        return {};
    }
    return std::string(texto.substr(inicio, texto.find_last_not_of(' ') - inicio + 1));
}

} // namespace envio
