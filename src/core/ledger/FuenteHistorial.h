#pragma once

#include "ledger/FilaHistorial.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace envio {

// One machine's ledger as the history reads it, on a read-only connection of its own: SQLite
// attaches at most ten databases to one connection, and an office may have more machines than
// that sharing the program's folder. Each statement is a short read: a run sending on this
// machine waits for it at most that long, and machines sharing the folder never see each
// other's locks anyway.
class FuenteHistorial {
public:
    // Throws ErrorBaseDatos when the ledger cannot be read.
    explicit FuenteHistorial(const std::filesystem::path& registro);
    ~FuenteHistorial();
    FuenteHistorial(const FuenteHistorial&) = delete;
    FuenteHistorial& operator=(const FuenteHistorial&) = delete;

    // Changes whenever a run has written to the ledger since the last call.
    long long version();

    struct Clave {
        long long id = 0;
        ResultadoHistorial resultado = ResultadoHistorial::Dudoso;
    };
    struct Seleccion {
        std::string desde; // UTC instants, as the ledger writes them; `hasta` excluded
        std::string hasta;
        std::optional<ResultadoHistorial> resultado;
        ColumnaHistorial orden = ColumnaHistorial::Hora;
        bool descendente = true;
        bool operator==(const Seleccion&) const = default;
    };
    // The attempts in that window, sorted; ties by time in the same direction. With `orden`, also
    // each one's sort key, to merge them with other ledgers'.
    std::vector<Clave> claves(const Seleccion& seleccion, std::vector<std::string>* orden);

    // A flag per attempt id: whether its texts, as the window shows them, hold `buscado` (already
    // folded as busquedaPlegada folds it).
    std::vector<bool> coincidentes(const std::string& buscado);
    // A flag per attempt id: whether it is a notice of a mass mailing.
    std::vector<bool> avisos();

    FilaHistorial fila(long long id);

private:
    void marcarPorConsulta(const std::string& sql, const std::string& buscado,
                           std::vector<bool>& marcas);
    void marcarPendientes(const std::string& condicion, const std::string& buscado,
                          std::vector<bool>& marcas);
    [[nodiscard]] std::string pendientes() const;
    [[nodiscard]] std::size_t marcasNecesarias();

    sqlite3* db_ = nullptr;
    sqlite3_stmt* lectura_ = nullptr;
    std::string tabla_; // its attempts, with the columns an older version lacks as defaults
    bool indexado_ = false;
    bool colaIndice_ = false; // attempts written since the index was last brought up to date
};

} // namespace envio
