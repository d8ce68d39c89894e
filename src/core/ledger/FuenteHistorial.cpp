#include "ledger/FuenteHistorial.h"

#include "database/ErrorBaseDatos.h"
#include "ledger/TextoBuscable.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <ctime>
#include <sqlite3.h>
#include <thread>

namespace envio {
namespace {

std::string text(sqlite3_stmt* s, int column) {
    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
    return t == nullptr ? std::string() : std::string(t);
}

std::string_view textView(sqlite3_stmt* s, int column) {
    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
    return t == nullptr
               ? std::string_view()
               : std::string_view(t, static_cast<std::size_t>(sqlite3_column_bytes(s, column)));
}

std::string_view textoValor(sqlite3_value* v) {
    const auto* t = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return t == nullptr ? std::string_view() : std::string_view(t);
}

// SQLite takes the ledger's path as a URI so that it is opened read-only.
std::string uriDe(const std::filesystem::path& archivo) {
    std::string uri = "file:";
    for (const unsigned char c : archivo.string()) {
        if (std::isalnum(c) != 0 || c == '/' || c == '.' || c == '-' || c == '_') {
            uri += static_cast<char>(c);
        } else {
            static constexpr char kHex[] = "0123456789ABCDEF";
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 0xF];
        }
    }
    return uri + "?mode=ro";
}

std::string horaLocal(const std::string& utc) {
    std::tm t{};
    if (strptime(utc.c_str(), "%Y-%m-%dT%H:%M:%SZ", &t) == nullptr) {
        return utc;
    }
    const std::time_t instante = timegm(&t);
    std::tm local{};
    localtime_r(&instante, &local);
    char texto[32];
    std::strftime(texto, sizeof texto, "%Y-%m-%d %H:%M:%S", &local);
    return texto;
}

// coincide(buscado, texts...): whether the attempt's texts, as the window shows them, hold the
// searched text once case and accents are set aside. For what the index does not hold.
void coincide(sqlite3_context* contexto, int /*argc*/, sqlite3_value** argv) {
    const std::string texto =
        textoBuscable({textoValor(argv[1]), textoValor(argv[2]), textoValor(argv[3]),
                       textoValor(argv[4]), textoValor(argv[5]), textoValor(argv[6])});
    sqlite3_result_int(contexto, texto.find(textoValor(argv[0])) != std::string::npos ? 1 : 0);
}

constexpr const char* kCoincide = "coincide(?1, nombre_listado, destinatario, documento, "
                                  "renombrado_a, respuesta, message_id)";

// The outcome as the history names it, from the ledger's columns (see ResultadoHistorial).
constexpr const char* kResultado =
    "CASE resultado WHEN 'rechazado' THEN 1 WHEN 'aceptado' THEN (CASE WHEN "
    "renombrado_al_iniciar THEN 3 ELSE 0 END) ELSE 2 END";

std::size_t caracteres(std::string_view utf8) {
    return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// The search as an FTS5 phrase: with trigrams, a phrase matches where the text holds it whole.
std::string frase(std::string_view buscado) {
    std::string out = "\"";
    for (const char c : buscado) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    return out + "\"";
}

const char* columnaDe(ColumnaHistorial columna) {
    switch (columna) {
    case ColumnaHistorial::Hora:
        return "hora";
    case ColumnaHistorial::Tipo:
        return "aviso";
    case ColumnaHistorial::Destinatario:
        return "nombre_listado";
    case ColumnaHistorial::Direccion:
        return "destinatario";
    case ColumnaHistorial::Documento:
        return "documento";
    case ColumnaHistorial::EnviadoComo:
        return "renombrado_a";
    case ColumnaHistorial::Resultado:
        return "res";
    case ColumnaHistorial::Respuesta:
        return "respuesta";
    case ColumnaHistorial::MessageId:
        return "message_id";
    }
    return "hora";
}

// What a ledger's rows are sorted by, as one text: the column, then the time. Ledgers are merged
// by comparing these bytes, as SQLite compares them.
std::string claveOrden(ColumnaHistorial columna) {
    if (columna == ColumnaHistorial::Hora) {
        return "hora";
    }
    return std::string("coalesce(CAST(") + columnaDe(columna) + " AS TEXT), '') || char(1) || hora";
}

std::string avisoSql() {
    return "(substr(documento, 1, " + std::to_string(kPrefijoAviso.size()) + ") = '" +
           std::string(kPrefijoAviso) + "')";
}

// On a share another machine's locks are not seen here: for the moment of its commit, the journal
// beside its ledger looks like one a crash left behind, and a read-only reader gets
// SQLITE_READONLY_ROLLBACK. A commit is over in milliseconds, so the first read of a statement
// is tried again for a second before it counts as failed.
bool esPasajero(int rc) {
    return rc == SQLITE_READONLY_ROLLBACK || rc == SQLITE_BUSY;
}

template <typename Paso> int conReintentos(Paso paso) {
    constexpr int kVeces = 20;
    int rc = paso();
    for (int vez = 1; vez < kVeces && esPasajero(rc); ++vez) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        rc = paso();
    }
    return rc;
}

// Why a ledger cannot be read, in the user's words where SQLite's would mislead.
std::string motivo(sqlite3* db) {
    if (sqlite3_extended_errcode(db) == SQLITE_READONLY_ROLLBACK) {
        return "el equipo que lo escribe está a mitad de una escritura, o se apagó en medio de "
               "una (se podrá leer cuando ese equipo vuelva a abrir el programa)";
    }
    return sqlite3_errmsg(db);
}

class Statement {
public:
    Statement(sqlite3* db, const std::string& sql) : db_(db) {
        if (conReintentos([&] {
                sqlite3_finalize(s_);
                s_ = nullptr;
                return sqlite3_prepare_v2(db, sql.c_str(), -1, &s_, nullptr);
            }) != SQLITE_OK) {
            fail();
        }
    }
    ~Statement() { sqlite3_finalize(s_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt* get() { return s_; }
    // A statement that does not take the parameter is left as it is.
    void bindText(int index, const std::string& value) {
        if (sqlite3_bind_parameter_count(s_) < index) {
            return;
        }
        sqlite3_bind_text(s_, index, value.c_str(), static_cast<int>(value.size()),
                          SQLITE_TRANSIENT);
    }
    // Only the first step is tried again: later ones would start the rows over.
    bool step() {
        const int rc =
            primero_ ? conReintentos([this] { return sqlite3_step(s_); }) : sqlite3_step(s_);
        primero_ = false;
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
            fail();
        }
        return rc == SQLITE_ROW;
    }
    [[noreturn]] void fail() const {
        throw ErrorBaseDatos("No se pudo leer el historial de envíos: " + motivo(db_));
    }

private:
    sqlite3* db_;
    sqlite3_stmt* s_ = nullptr;
    bool primero_ = true;
};

void marcar(std::vector<bool>& marcas, long long id, bool valor) {
    if (id >= 0 && static_cast<std::size_t>(id) < marcas.size()) {
        marcas[static_cast<std::size_t>(id)] = valor;
    }
}

} // namespace

FuenteHistorial::FuenteHistorial(const std::filesystem::path& registro) {
    if (sqlite3_open_v2(uriDe(registro).c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI,
                        nullptr) != SQLITE_OK) {
        const std::string why = db_ != nullptr ? sqlite3_errmsg(db_) : "sin memoria";
        sqlite3_close(db_);
        throw ErrorBaseDatos("No se pudo leer el registro de envíos " + registro.string() + ": " +
                             why);
    }
    // A sending run holds its ledger for one short write at a time.
    sqlite3_busy_timeout(db_, 5000);
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_create_function(db_, "coincide", 7, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                            coincide, nullptr, nullptr);
    try {
        std::vector<std::string> columnas;
        {
            Statement s(db_, "PRAGMA table_info(intentos)");
            while (s.step()) {
                columnas.push_back(text(s.get(), 1));
            }
        }
        if (columnas.empty()) {
            throw ErrorBaseDatos("no es un registro de envíos");
        }
        const auto tiene = [&columnas](const char* c) {
            return std::find(columnas.begin(), columnas.end(), c) != columnas.end();
        };
        // A ledger written by an older version lacks the later columns: they read as defaults.
        const std::string completa =
            std::string("(SELECT *, ") + (tiene("nombre_listado") ? "" : "'' AS nombre_listado, ") +
            (tiene("renombrado_al_iniciar") ? "" : "0 AS renombrado_al_iniciar, ") +
            "0 AS relleno FROM intentos)";
        tabla_ = std::string("(SELECT *, ") + kResultado + " AS res, " + avisoSql() +
                 " AS aviso FROM " + completa + ")";
        const auto hayTabla = [this](const char* nombre) {
            Statement s(db_, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?");
            s.bindText(1, nombre);
            return s.step();
        };
        indexado_ = hayTabla("busqueda");
        colaIndice_ = hayTabla("por_indexar");
        const std::string sql = "SELECT hora, documento, destinatario, nombre_listado, message_id, "
                                "respuesta, renombrado_a, aviso, res FROM " +
                                tabla_ + " WHERE id = ?";
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &lectura_, nullptr) != SQLITE_OK) {
            throw ErrorBaseDatos(motivo(db_));
        }
    } catch (const ErrorBaseDatos& error) {
        const std::string why =
            sqlite3_extended_errcode(db_) != SQLITE_OK ? motivo(db_) : error.what();
        sqlite3_close(db_);
        throw ErrorBaseDatos("No se pudo leer el registro de envíos " + registro.string() + ": " +
                             why);
    }
}

FuenteHistorial::~FuenteHistorial() {
    sqlite3_finalize(lectura_);
    sqlite3_close(db_);
}

long long FuenteHistorial::version() {
    Statement s(db_, "PRAGMA data_version");
    return s.step() ? sqlite3_column_int64(s.get(), 0) : 0;
}

std::vector<FuenteHistorial::Clave> FuenteHistorial::claves(const Seleccion& seleccion,
                                                            std::vector<std::string>* orden) {
    const char* sentido = seleccion.descendente ? " DESC" : "";
    std::string sql = "SELECT id, res, " + claveOrden(seleccion.orden) + " FROM " + tabla_ +
                      " WHERE hora >= ?1 AND hora < ?2";
    if (seleccion.resultado) {
        sql += " AND res = ?3";
    }
    // Time order reads the time index backwards and sorts nothing.
    sql += " ORDER BY " + claveOrden(seleccion.orden) + sentido;
    Statement s(db_, sql);
    s.bindText(1, seleccion.desde);
    s.bindText(2, seleccion.hasta);
    if (seleccion.resultado) {
        sqlite3_bind_int(s.get(), 3, static_cast<int>(*seleccion.resultado));
    }
    std::vector<Clave> claves;
    while (s.step()) {
        claves.push_back({sqlite3_column_int64(s.get(), 0),
                          static_cast<ResultadoHistorial>(sqlite3_column_int(s.get(), 1))});
        if (orden != nullptr) {
            orden->push_back(text(s.get(), 2));
        }
    }
    return claves;
}

std::size_t FuenteHistorial::marcasNecesarias() {
    Statement s(db_, "SELECT coalesce(max(id), 0) FROM intentos");
    return s.step() ? static_cast<std::size_t>(sqlite3_column_int64(s.get(), 0)) + 1 : 1;
}

// Attempts the index does not hold as they now stand: those written since it was last brought up
// to date, and those an older version of the program wrote after the index was built.
std::string FuenteHistorial::pendientes() const {
    std::string condicion(kNuncaIndexados);
    if (colaIndice_) {
        condicion += " OR id IN (SELECT id FROM por_indexar)";
    }
    return condicion;
}

void FuenteHistorial::marcarPorConsulta(const std::string& sql, const std::string& buscado,
                                        std::vector<bool>& marcas) {
    Statement s(db_, sql);
    s.bindText(1, buscado);
    while (s.step()) {
        marcar(marcas, sqlite3_column_int64(s.get(), 0), true);
    }
}

void FuenteHistorial::marcarPendientes(const std::string& condicion, const std::string& buscado,
                                       std::vector<bool>& marcas) {
    Statement s(db_, "SELECT id, " + condicion + " FROM " + tabla_ + " WHERE " + pendientes());
    s.bindText(1, buscado);
    while (s.step()) {
        marcar(marcas, sqlite3_column_int64(s.get(), 0), sqlite3_column_int(s.get(), 1) != 0);
    }
}

// Through the index when the ledger has one; by folding every attempt when an older version wrote
// it (the history only reads a ledger, it never migrates one). Trigrams need three characters: a
// shorter search reads the index's folded texts, which still spares folding every attempt.
std::vector<bool> FuenteHistorial::coincidentes(const std::string& buscado) {
    std::vector<bool> marcas(marcasNecesarias());
    if (!indexado_ || buscado.find(kSeparadorBuscable) != std::string::npos) {
        marcarPorConsulta(std::string("SELECT id FROM ") + tabla_ + " WHERE " + kCoincide, buscado,
                          marcas);
        return marcas;
    }
    if (caracteres(buscado) >= 3) {
        marcarPorConsulta("SELECT rowid FROM busqueda WHERE texto MATCH ?1", frase(buscado),
                          marcas);
    } else {
        // The index's own table of texts: reading it directly spares the index's full-scan cursor
        // (about a third of the time, measured on half a million attempts).
        Statement s(db_, "SELECT id, c0 FROM busqueda_content");
        while (s.step()) {
            if (textView(s.get(), 1).find(buscado) != std::string_view::npos) {
                marcar(marcas, sqlite3_column_int64(s.get(), 0), true);
            }
        }
    }
    marcarPendientes(kCoincide, buscado, marcas);
    return marcas;
}

// Notices are few beside the documents: the index narrows them down when there is one.
std::vector<bool> FuenteHistorial::avisos() {
    std::vector<bool> marcas(marcasNecesarias());
    if (!indexado_) {
        marcarPorConsulta("SELECT id FROM " + tabla_ + " WHERE aviso", "", marcas);
        return marcas;
    }
    marcarPorConsulta(
        "SELECT id FROM " + tabla_ +
            " WHERE aviso AND id IN (SELECT rowid FROM busqueda WHERE texto MATCH ?1)",
        frase(busquedaPlegada(kPrefijoAviso)), marcas);
    marcarPendientes("aviso", "", marcas);
    return marcas;
}

FilaHistorial FuenteHistorial::fila(long long id) {
    sqlite3_stmt* s = lectura_;
    sqlite3_reset(s);
    sqlite3_bind_int64(s, 1, id);
    FilaHistorial f;
    if (conReintentos([s] { return sqlite3_step(s); }) != SQLITE_ROW) {
        // The attempt was there when the list was made: only an attempt that never went out
        // leaves a ledger (a run undoing what it had prepared), and that one is "enviando".
        f.respuesta = "(no se pudo leer)";
        sqlite3_reset(s);
        return f;
    }
    f.hora = horaLocal(text(s, 0));
    f.documento = text(s, 1);
    f.direccion = text(s, 2);
    f.destinatario = text(s, 3);
    f.messageId = text(s, 4);
    f.respuesta = text(s, 5);
    f.enviadoComo = text(s, 6);
    f.aviso = sqlite3_column_int(s, 7) != 0;
    f.resultado = static_cast<ResultadoHistorial>(sqlite3_column_int(s, 8));
    if (f.aviso && f.destinatario.empty()) {
        // Ledgers older than the recipient's column: a notice's label names its recipient.
        f.destinatario = f.documento.substr(kPrefijoAviso.size());
    }
    sqlite3_reset(s);
    return f;
}

} // namespace envio
