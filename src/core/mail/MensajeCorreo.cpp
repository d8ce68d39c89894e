#include "mail/MensajeCorreo.h"

#include "platform/Base64.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <random>

namespace envio {
namespace {

// RFC 2047 allows 75 characters per encoded-word: "=?UTF-8?B?" + 60 of base64 + "?=" is 72,
// and 60 characters of base64 hold 45 bytes.
constexpr std::size_t BytesPorPalabra = 45;
// A plain subject longer than this would break the 998-character line limit once headers fold.
constexpr std::size_t LargoMaximoSinCodificar = 900;

bool esControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

bool esAsciiImprimible(std::string_view texto) {
    for (const char ch : texto) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c > 0x7E) {
            return false;
        }
    }
    return true;
}

std::string sinControles(std::string_view texto, char sustituto) {
    std::string s(texto);
    for (char& ch : s) {
        if (esControl(static_cast<unsigned char>(ch))) {
            ch = sustituto;
        }
    }
    return s;
}

// Encoded-words never split a UTF-8 character: a reader decodes each word on its own.
std::vector<std::string> palabrasCodificadas(std::string_view texto) {
    std::vector<std::string> palabras;
    while (!texto.empty()) {
        std::size_t largo = std::min(BytesPorPalabra, texto.size());
        if (largo < texto.size()) {
            std::size_t corte = largo;
            while (corte > 0 && (static_cast<unsigned char>(texto[corte]) & 0xC0) == 0x80) {
                --corte;
            }
            if (corte > 0) {
                largo = corte;
            }
        }
        palabras.push_back("=?UTF-8?B?" + base64(texto.substr(0, largo)) + "?=");
        texto.remove_prefix(largo);
    }
    return palabras;
}

std::string unir(const std::vector<std::string>& partes, std::string_view separador) {
    std::string s;
    for (std::size_t i = 0; i < partes.size(); ++i) {
        if (i > 0) {
            s += separador;
        }
        s += partes[i];
    }
    return s;
}

std::string_view recortar(std::string_view s) {
    const auto inicio = s.find_first_not_of(" \t");
    if (inicio == std::string_view::npos) {
        return {};
    }
    return s.substr(inicio, s.find_last_not_of(" \t") - inicio + 1);
}

bool esDireccionSimple(std::string_view d) {
    const auto arroba = d.rfind('@');
    if (arroba == std::string_view::npos || arroba == 0 || arroba + 1 == d.size() ||
        d.find('@') != arroba) {
        return false;
    }
    for (const char ch : d) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c == 0x7F ||
            std::string_view("<>()[],;:\"\\").find(ch) != std::string_view::npos) {
            return false;
        }
    }
    return true;
}

std::optional<Buzon> leerBuzon(std::string_view texto) {
    texto = recortar(texto);
    const auto abre = texto.rfind('<');
    if (abre == std::string_view::npos) {
        if (!esDireccionSimple(texto)) {
            return std::nullopt;
        }
        return Buzon{{}, std::string(texto)};
    }
    const auto cierra = texto.find('>', abre);
    if (cierra == std::string_view::npos || !recortar(texto.substr(cierra + 1)).empty()) {
        return std::nullopt;
    }
    Buzon b;
    b.direccion = std::string(texto.substr(abre + 1, cierra - abre - 1));
    if (!esDireccionSimple(b.direccion)) {
        return std::nullopt;
    }
    std::string_view nombre = recortar(texto.substr(0, abre));
    if (nombre.size() >= 2 && nombre.front() == '"' && nombre.back() == '"') {
        nombre = nombre.substr(1, nombre.size() - 2);
        for (std::size_t i = 0; i < nombre.size(); ++i) {
            if (nombre[i] == '\\' && i + 1 < nombre.size()) {
                ++i;
            }
            b.nombre += nombre[i];
        }
    } else {
        b.nombre = std::string(nombre);
    }
    return b;
}

bool esAtext(char ch) {
    const auto c = static_cast<unsigned char>(ch);
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("!#$%&'*+-/=?^_`{|}~ ").find(ch) != std::string_view::npos;
}

std::string entreComillas(std::string_view texto) {
    std::string s = "\"";
    for (const char ch : texto) {
        if (ch == '"' || ch == '\\') {
            s += '\\';
        }
        s += ch;
    }
    return s + '"';
}

std::string porcentajes(std::string_view texto) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string s;
    for (const char ch : texto) {
        const auto c = static_cast<unsigned char>(ch);
        const bool sinCodificar =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            std::string_view("!#$&+-.^_`|~").find(ch) != std::string_view::npos;
        if (sinCodificar) {
            s += ch;
        } else {
            s += '%';
            s += hex[c >> 4];
            s += hex[c & 15];
        }
    }
    return s;
}

bool terminaEnPdf(std::string_view nombre) {
    if (nombre.size() < 4) {
        return false;
    }
    std::string ext(nombre.substr(nombre.size() - 4));
    for (char& ch : ext) {
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    }
    return ext == ".pdf";
}

} // namespace

std::optional<std::vector<Buzon>> leerDirecciones(std::string_view texto) {
    for (const char ch : texto) {
        if (esControl(static_cast<unsigned char>(ch)) && ch != '\t') {
            return std::nullopt;
        }
    }
    std::vector<Buzon> buzones;
    bool enComillas = false;
    bool enAngulos = false;
    std::size_t inicio = 0;
    for (std::size_t i = 0; i <= texto.size(); ++i) {
        const char ch = i < texto.size() ? texto[i] : ',';
        if (enComillas) {
            if (ch == '\\') {
                ++i;
            } else if (ch == '"') {
                enComillas = false;
            }
            continue;
        }
        if (ch == '"') {
            enComillas = true;
        } else if (ch == '<') {
            enAngulos = true;
        } else if (ch == '>') {
            enAngulos = false;
        } else if ((ch == ',' || ch == ';') && (!enAngulos || i == texto.size())) {
            const std::string_view parte = recortar(texto.substr(inicio, i - inicio));
            if (!parte.empty()) {
                auto buzon = leerBuzon(parte);
                if (!buzon) {
                    return std::nullopt;
                }
                buzones.push_back(std::move(*buzon));
            }
            inicio = i + 1;
        }
    }
    if (enComillas || buzones.empty()) {
        return std::nullopt;
    }
    return buzones;
}

std::string codificarTextoCabecera(std::string_view texto) {
    std::string limpio = sinControles(texto, ' ');
    if (esAsciiImprimible(limpio) && limpio.find("=?") == std::string::npos &&
        limpio.size() <= LargoMaximoSinCodificar) {
        return limpio;
    }
    return unir(palabrasCodificadas(limpio), "\r\n ");
}

std::string escribirBuzon(const Buzon& buzon) {
    const std::string nombre = sinControles(buzon.nombre, ' ');
    if (recortar(nombre).empty()) {
        return buzon.direccion;
    }
    std::string frase;
    if (!esAsciiImprimible(nombre) || nombre.find("=?") != std::string::npos) {
        frase = unir(palabrasCodificadas(nombre), "\r\n ");
    } else if (std::all_of(nombre.begin(), nombre.end(), esAtext)) {
        frase = nombre;
    } else {
        frase = entreComillas(nombre);
    }
    return frase + " <" + buzon.direccion + ">";
}

std::string fechaCorreo(std::time_t instante, long desplazamientoSegundos) {
    static constexpr std::array<const char*, 7> dias{"Sun", "Mon", "Tue", "Wed",
                                                     "Thu", "Fri", "Sat"};
    static constexpr std::array<const char*, 12> meses{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::time_t local = instante + desplazamientoSegundos;
    std::tm t{};
    gmtime_r(&local, &t);
    const long minutos =
        (desplazamientoSegundos < 0 ? -desplazamientoSegundos : desplazamientoSegundos) / 60;
    char texto[64];
    std::snprintf(texto, sizeof texto, "%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld",
                  dias[static_cast<std::size_t>(t.tm_wday)], t.tm_mday,
                  meses[static_cast<std::size_t>(t.tm_mon)], t.tm_year + 1900, t.tm_hour, t.tm_min,
                  t.tm_sec, desplazamientoSegundos < 0 ? '-' : '+', minutos / 60, minutos % 60);
    return texto;
}

std::string fechaCorreoAhora() {
    const std::time_t ahora = std::time(nullptr);
    std::tm local{};
    localtime_r(&ahora, &local);
    return fechaCorreo(ahora, local.tm_gmtoff);
}

std::string crearMessageId(std::string_view dominio) {
    static thread_local std::mt19937_64 azar{std::random_device{}()};
    bool usable = !dominio.empty();
    for (const char ch : dominio) {
        usable = usable && (std::isalnum(static_cast<unsigned char>(ch)) || ch == '-' || ch == '.');
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                        .count();
    char texto[80];
    std::snprintf(texto, sizeof texto, "%llx.%016llx%016llx", static_cast<unsigned long long>(ms),
                  static_cast<unsigned long long>(azar()), static_cast<unsigned long long>(azar()));
    return "<" + std::string(texto) + "@" + (usable ? std::string(dominio) : "localhost") + ">";
}

std::string lineasCrLf(std::string_view texto) {
    std::string s;
    s.reserve(texto.size() + texto.size() / 32);
    for (std::size_t i = 0; i < texto.size(); ++i) {
        if (texto[i] == '\r') {
            if (i + 1 < texto.size() && texto[i + 1] == '\n') {
                ++i;
            }
            s += "\r\n";
        } else if (texto[i] == '\n') {
            s += "\r\n";
        } else {
            s += texto[i];
        }
    }
    return s;
}

std::vector<std::string> cabecerasAdjunto(const std::filesystem::path& archivo) {
    const std::string nombre = sinControles(archivo.filename().string(), ' ');
    const std::string tipo = terminaEnPdf(nombre) ? "application/pdf" : "application/octet-stream";
    if (esAsciiImprimible(nombre) && nombre.find("=?") == std::string::npos) {
        return {"Content-Type: " + tipo + "; name=" + entreComillas(nombre),
                "Content-Disposition: attachment; filename=" + entreComillas(nombre)};
    }
    // Mail readers take the name from either header: the encoded-word for the older ones,
    // RFC 2231 for the rest.
    return {"Content-Type: " + tipo + "; name=\"" + unir(palabrasCodificadas(nombre), " ") + "\"",
            "Content-Disposition: attachment; filename*=UTF-8''" + porcentajes(nombre)};
}

} // namespace envio
