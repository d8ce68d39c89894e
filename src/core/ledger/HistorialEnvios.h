#pragma once

#include "ledger/TextoBuscable.h"

#include <array>
#include <cstddef>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

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

struct FiltroHistorial {
    std::string texto; // any column, case and accents ignored
    std::string desde; // AAAA-MM-DD, local date, inclusive; empty for no bound
    std::string hasta; // idem
    std::optional<ResultadoHistorial> resultado;
};

struct TotalesHistorial {
    std::size_t filas = 0;
    std::array<std::size_t, 4> porResultado{}; // indexed by ResultadoHistorial
};

// Every attempt in every machine's ledger in the program's folder, read-only. A query keeps only
// the matching attempts' keys; rows are read when asked for, so a ledger of years opens at once.
// Each statement is a short read of its own: a run sending on this machine waits for it at
// most that long, and machines sharing the folder never see each other's locks anyway.
class HistorialEnvios {
public:
    // Throws ErrorBaseDatos when a ledger cannot be read.
    explicit HistorialEnvios(const std::filesystem::path& carpetaPrograma);
    ~HistorialEnvios();
    HistorialEnvios(const HistorialEnvios&) = delete;
    HistorialEnvios& operator=(const HistorialEnvios&) = delete;

    // registro-envios.db and every machine's registro-envios.EQUIPO.db.
    static std::vector<std::filesystem::path> registrosEn(const std::filesystem::path& carpeta);

    // Throws ErrorBaseDatos, std::invalid_argument for a malformed date.
    void consultar(const FiltroHistorial& filtro, ColumnaHistorial orden = ColumnaHistorial::Hora,
                   bool descendente = true);
    [[nodiscard]] std::size_t cantidad() const { return claves_.size(); }
    [[nodiscard]] const TotalesHistorial& totales() const { return totales_; }
    const FilaHistorial& fila(std::size_t indice);

private:
    struct Clave {
        int origen;
        long long id;
    };
    // One ledger as the history reads it.
    struct Fuente {
        std::string consulta; // its attempts with the history's columns
        std::string esquema;  // the name it is attached as
        bool indexado = false;
    };
    Fuente adjuntar(const std::filesystem::path& registro, int origen);
    [[nodiscard]] std::string condicionBusqueda(const Fuente& fuente,
                                                const std::string& buscado) const;
    FilaHistorial leerFila(const Clave& clave);

    sqlite3* db_ = nullptr;
    std::vector<sqlite3_stmt*> lecturas_; // one per ledger: a row by id
    std::vector<Fuente> fuentes_;
    std::vector<Clave> claves_;
    TotalesHistorial totales_;
    std::map<std::size_t, std::vector<FilaHistorial>> paginas_;
};

// The paragraph that answers "did you send it?", ready to paste into a reply.
std::string textoConstancia(const FilaHistorial& fila);

// The rows shown, as a spreadsheet in Spain opens them: UTF-8 with a byte-order mark, `;`
// between fields, CRLF between rows.
std::string csvHistorial(HistorialEnvios& historial);

// A date of the command line or the window: AAAA-MM-DD. Throws std::invalid_argument.
std::string fechaValida(const std::string& texto);

} // namespace envio
