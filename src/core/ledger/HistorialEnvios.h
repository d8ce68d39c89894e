#pragma once

#include "ledger/FilaHistorial.h"
#include "ledger/FuenteHistorial.h"
#include "ledger/TextoBuscable.h"

#include <array>
#include <cstddef>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace envio {

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
// The list for the dates, outcome and order asked is kept until a ledger changes: typing in the
// search box then only asks the index which attempts hold the text, and filters that list.
class HistorialEnvios {
public:
    // A ledger that cannot be read (another machine's, in the middle of a write or left so by a
    // crash; a damaged file) is left out, and omitidos() says which and why: one machine's
    // trouble does not hide every other machine's attempts.
    explicit HistorialEnvios(const std::filesystem::path& carpetaPrograma);
    ~HistorialEnvios();
    HistorialEnvios(const HistorialEnvios&) = delete;
    HistorialEnvios& operator=(const HistorialEnvios&) = delete;

    // registro-envios.db and every machine's registro-envios.EQUIPO.db.
    static std::vector<std::filesystem::path> registrosEn(const std::filesystem::path& carpeta);

    // Throws ErrorBaseDatos, std::invalid_argument for a malformed date.
    void consultar(const FiltroHistorial& filtro, ColumnaHistorial orden = ColumnaHistorial::Hora,
                   bool descendente = true);
    // One sentence per ledger left out, for the user.
    [[nodiscard]] const std::vector<std::string>& omitidos() const { return omitidos_; }
    [[nodiscard]] std::size_t cantidad() const { return mostradas_->size(); }
    [[nodiscard]] const TotalesHistorial& totales() const { return totales_; }
    const FilaHistorial& fila(std::size_t indice);

private:
    struct Clave {
        int origen;
        ResultadoHistorial resultado;
        long long id;
    };
    // The attempts of every ledger for one selection, merged in its order.
    struct Listado {
        FuenteHistorial::Seleccion seleccion;
        std::vector<long long> versiones;
        std::vector<Clave> claves;
    };
    const std::vector<Clave>& listado(const FuenteHistorial::Seleccion& seleccion);
    std::vector<Clave> unir(const FuenteHistorial::Seleccion& seleccion);
    void filtrar(const std::vector<Clave>& todas, const std::string& buscado);

    std::vector<std::unique_ptr<FuenteHistorial>> fuentes_;
    std::vector<std::string> omitidos_;
    std::optional<Listado> listado_;
    std::vector<Clave> filtradas_;
    // The kept list itself when nothing is searched, else what the search let through.
    const std::vector<Clave>* mostradas_ = &filtradas_;
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
