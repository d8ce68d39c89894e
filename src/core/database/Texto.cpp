#include "database/Texto.h"

namespace envio {

std::string mayusculas(std::string_view utf8) {
    std::string out(utf8);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto c = static_cast<unsigned char>(out[i]);
        if (c >= 'a' && c <= 'z') {
            out[i] = static_cast<char>(c - 32);
        } else if (c == 0xC3 && i + 1 < out.size()) {
            // U+00E0..U+00FE (but not ÷) is 0xC3 0xA0..0xBE; their capitals are 0xC3 0x80..0x9E.
            const auto next = static_cast<unsigned char>(out[i + 1]);
            if (next >= 0xA0 && next <= 0xBE && next != 0xB7) {
                out[i + 1] = static_cast<char>(next - 0x20);
            }
            ++i;
        }
    }
    return out;
}

bool igualesSinMayusculas(std::string_view a, std::string_view b) {
    return a.size() == b.size() && mayusculas(a) == mayusculas(b);
}

int compararSinMayusculas(std::string_view a, std::string_view b) {
    return mayusculas(a).compare(mayusculas(b));
}

} // namespace envio
