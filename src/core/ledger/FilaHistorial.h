#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace envio {

// What became of one attempt, as the history tells it.
enum class ResultadoHistorial {
    Enviado,   // the server accepted it
    Rechazado, // the server refused it, or it never left
    Dudoso,    // no answer after it went out: it may be with its recipient
    Marcado,   // the server accepted it; the sent name came at the next start
};
std::string_view nombreResultado(ResultadoHistorial resultado);
std::optional<ResultadoHistorial> resultadoPorNombre(std::string_view nombre);

struct FilaHistorial {
    std::string hora; // local time, AAAA-MM-DD HH:MM:SS
    bool aviso = false;
    std::string destinatario; // as listed
    std::string direccion;
    std::string documento;   // full path when the attempt started, or the notice's label
    std::string enviadoComo; // full path with the sent name; empty when it never got one
    ResultadoHistorial resultado = ResultadoHistorial::Dudoso;
    std::string respuesta;
    std::string messageId;
};

// The history's columns, in the order the window and the exports show them.
enum class ColumnaHistorial {
    Hora,
    Tipo,
    Destinatario,
    Direccion,
    Documento,
    EnviadoComo,
    Resultado,
    Respuesta,
    MessageId
};
inline constexpr std::size_t kColumnasHistorial = 9;
const std::array<std::string_view, kColumnasHistorial>& titulosHistorial();
// The text of a column as shown; document columns show the file name only.
std::string textoColumna(const FilaHistorial& fila, ColumnaHistorial columna);
// The file name the recipient received: the sent name, or the name it had when it never got one.
std::string nombreArchivoEnviado(const FilaHistorial& fila);

} // namespace envio
