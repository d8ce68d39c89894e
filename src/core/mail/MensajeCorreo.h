#pragma once

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace envio {

// An address with the name shown beside it, if any.
struct Buzon {
    std::string nombre;
    std::string direccion;
};

// "dir@dominio", "Nombre <dir@dominio>" or "\"Apellido, Nombre\" <dir@dominio>", several of them
// separated by commas or semicolons. Nothing when the text holds no address or anything that is
// not one: a line break or a control character never reaches a header or an SMTP command.
std::optional<std::vector<Buzon>> leerDirecciones(std::string_view texto);

// An unstructured header value (the subject): as it is when it is plain printable ASCII,
// otherwise RFC 2047 encoded-words of UTF-8, folded between words. Line breaks and control
// characters become blanks.
std::string codificarTextoCabecera(std::string_view texto);

// A mailbox as a From or To value, its name quoted or encoded as needed.
std::string escribirBuzon(const Buzon& buzon);

// RFC 5322 date with English names whatever the locale, e.g. "Sun, 06 Dec 2026 08:51:22 +0100".
std::string fechaCorreo(std::time_t instante, long desplazamientoSegundos);
std::string fechaCorreoAhora();

// "<unique@dominio>"; the domain is the sender's, or "localhost" when it has none usable.
std::string crearMessageId(std::string_view dominio);

// Every line break (CRLF, CR or LF) as CRLF: the quoted-printable encoder only knows CRLF.
std::string lineasCrLf(std::string_view texto);

// Content-Type and Content-Disposition of an attached file, its name encoded for any reader.
std::vector<std::string> cabecerasAdjunto(const std::filesystem::path& archivo);

} // namespace envio
