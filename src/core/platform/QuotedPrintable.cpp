#include "platform/QuotedPrintable.h"

namespace envio {
namespace {

// A line of the result holds 75 characters and the "=" of a soft line break.
constexpr std::size_t kAnchoLinea = 75;

bool esSaltoCrLf(std::string_view texto, std::size_t i) {
    return i + 1 < texto.size() && texto[i] == '\r' && texto[i + 1] == '\n';
}

// A dot that would start a line is encoded too: SMTP would double it on the wire (RFC 5321,
// 4.5.2), and curl counts the doubled dot against the message's size, which would then no longer
// tell when the data have all gone.
bool vaTalCual(unsigned char c, bool acabaLinea, bool empiezaLinea) {
    if (c == ' ' || c == '\t') {
        return !acabaLinea;
    }
    return c >= 33 && c <= 126 && c != '=' && !(c == '.' && empiezaLinea);
}

} // namespace

std::string quotedPrintable(std::string_view texto) {
    constexpr std::string_view hex = "0123456789ABCDEF";
    std::string salida;
    salida.reserve(texto.size() + texto.size() / 16);
    std::size_t columna = 0;
    const auto cabe = [&columna](std::size_t largo) { return columna + largo <= kAnchoLinea; };
    const auto poner = [&](std::string_view trozo) {
        if (!cabe(trozo.size())) {
            salida += "=\r\n";
            columna = 0;
        }
        salida += trozo;
        columna += trozo.size();
    };
    for (std::size_t i = 0; i < texto.size(); ++i) {
        if (esSaltoCrLf(texto, i)) {
            salida += "\r\n";
            columna = 0;
            ++i;
            continue;
        }
        const auto c = static_cast<unsigned char>(texto[i]);
        const bool acabaLinea = i + 1 == texto.size() || esSaltoCrLf(texto, i + 1);
        // A literal character lands at the start of a line after a break, or after a soft one.
        const bool empiezaLinea = columna == 0 || !cabe(1);
        if (vaTalCual(c, acabaLinea, empiezaLinea)) {
            poner(texto.substr(i, 1));
        } else {
            const char escape[] = {'=', hex[c >> 4], hex[c & 0x0F]};
            poner(std::string_view(escape, sizeof escape));
        }
    }
    return salida;
}

} // namespace envio
