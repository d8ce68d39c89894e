#include "ledger/RegistroEnvios.h"

#include "database/ErrorBaseDatos.h"
#include "ledger/TextoBuscable.h"
#include "platform/FileSystem.h"
#include "platform/ProcessIdentity.h"
#include "platform/SqliteJournal.h"

#include <cctype>
#include <iterator>
#include <sqlite3.h>

namespace envio {
namespace {

constexpr const char* kEsquema = R"(
CREATE TABLE IF NOT EXISTS intentos (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  ejecucion TEXT NOT NULL,
  documento TEXT NOT NULL,
  tamano INTEGER NOT NULL,
  sha256 TEXT NOT NULL,
  destinatario TEXT NOT NULL,
  hora TEXT NOT NULL,
  resultado TEXT NOT NULL,
  message_id TEXT NOT NULL DEFAULT '',
  respuesta TEXT NOT NULL DEFAULT '',
  hora_respuesta TEXT,
  renombrado_a TEXT,
  hora_renombrado TEXT
);
CREATE INDEX IF NOT EXISTS intentos_documento ON intentos (documento, sha256);
)";

// Each step brings a ledger from the version before it. Columns are only ever added, so an older
// program still reads and writes a ledger that a newer one has migrated.
constexpr const char* kMigraciones[] = {
    // 1: the recipient as listed, which sent names the next start gave, and the history's order.
    "ALTER TABLE intentos ADD COLUMN nombre_listado TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE intentos ADD COLUMN renombrado_al_iniciar INTEGER NOT NULL DEFAULT 0;"
    "CREATE INDEX IF NOT EXISTS intentos_hora ON intentos (hora, resultado, "
    "renombrado_al_iniciar);",
    // 2: the history's search through an index of each attempt's folded texts, every three
    // characters. The program writes it beside each attempt; no trigger, so that whatever else
    // writes the ledger needs none of this program's SQL functions.
    "CREATE VIRTUAL TABLE busqueda USING fts5(texto, tokenize = 'trigram case_sensitive 1');"
    "INSERT INTO busqueda (rowid, texto) SELECT id, texto_buscable(nombre_listado, destinatario, "
    "documento, renombrado_a, respuesta, message_id) FROM intentos;",
    // 3: what went out when it was not the file itself (a payslip's protected copy).
    "ALTER TABLE intentos ADD COLUMN sha256_adjunto TEXT NOT NULL DEFAULT '';",
    // 4: the attempts written since the index was last brought up to date. Each write of an
    // attempt lists its id here, in its own transaction; the index is brought up to date once
    // per run, off the sending path.
    "CREATE TABLE IF NOT EXISTS por_indexar (id INTEGER PRIMARY KEY);",
};
static_assert(std::size(kMigraciones) == RegistroEnvios::kVersionEsquema);

const char* nombreDe(RegistroEnvios::Resultado r) {
    switch (r) {
    case RegistroEnvios::Resultado::Enviando:
        return "enviando";
    case RegistroEnvios::Resultado::Aceptado:
        return "aceptado";
    case RegistroEnvios::Resultado::Rechazado:
        return "rechazado";
    case RegistroEnvios::Resultado::Incierto:
        return "incierto";
    }
    return "enviando";
}

RegistroEnvios::Resultado resultadoDe(const std::string& s) {
    if (s == "aceptado") {
        return RegistroEnvios::Resultado::Aceptado;
    }
    if (s == "rechazado") {
        return RegistroEnvios::Resultado::Rechazado;
    }
    if (s == "incierto") {
        return RegistroEnvios::Resultado::Incierto;
    }
    return RegistroEnvios::Resultado::Enviando;
}

std::string text(sqlite3_stmt* s, int column) {
    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
    return t == nullptr ? std::string() : std::string(t);
}

// An attempt written or changed: its searchable text is to be brought up to date.
constexpr const char* kAnotarPorIndexar = "INSERT OR IGNORE INTO por_indexar (id) VALUES (?)";

// Attempts that an older version of the program wrote after this one had built the index (no
// version before this one lists them in por_indexar).
std::string ordenIndexarNuevos() {
    return "INSERT INTO busqueda (rowid, texto) SELECT id, texto_buscable(nombre_listado, "
           "destinatario, documento, renombrado_a, respuesta, message_id) FROM intentos WHERE " +
           std::string(kNuncaIndexados) + " AND id NOT IN (SELECT id FROM por_indexar)";
}

// The listed attempts as they now stand, and the list emptied, in one transaction.
constexpr const char* kIndexarListados =
    "INSERT OR REPLACE INTO busqueda (rowid, texto) SELECT id, texto_buscable(nombre_listado, "
    "destinatario, documento, renombrado_a, respuesta, message_id) FROM intentos WHERE id IN "
    "(SELECT id FROM por_indexar)";
constexpr const char* kVaciarPorIndexar = "DELETE FROM por_indexar";

// Whether indexarPendientes has anything to do.
std::string consultaHayPendientes() {
    return "SELECT EXISTS (SELECT 1 FROM por_indexar) OR EXISTS (SELECT 1 FROM intentos WHERE " +
           std::string(kNuncaIndexados) + ")";
}

std::string_view textoValor(sqlite3_value* v) {
    const auto* t = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return t == nullptr ? std::string_view() : std::string_view(t);
}

void funcionTextoBuscable(sqlite3_context* contexto, int /*argc*/, sqlite3_value** argv) {
    const std::string texto =
        textoBuscable({textoValor(argv[0]), textoValor(argv[1]), textoValor(argv[2]),
                       textoValor(argv[3]), textoValor(argv[4]), textoValor(argv[5])});
    sqlite3_result_text(contexto, texto.c_str(), static_cast<int>(texto.size()), SQLITE_TRANSIENT);
}

// Attempts that may have left a message with the server: accepted, or cut off before an answer.
constexpr const char* kPuedeEstarEnviado = "resultado IN ('aceptado', 'incierto', 'enviando')";

int versionDe(sqlite3* db) {
    sqlite3_stmt* s = nullptr;
    int version = -1;
    if (sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &s, nullptr) == SQLITE_OK &&
        sqlite3_step(s) == SQLITE_ROW) {
        version = sqlite3_column_int(s, 0);
    }
    sqlite3_finalize(s);
    return version;
}

std::string modoDiario(sqlite3* db) {
    sqlite3_stmt* s = nullptr;
    std::string modo;
    if (sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &s, nullptr) == SQLITE_OK &&
        sqlite3_step(s) == SQLITE_ROW) {
        modo = text(s, 0);
    }
    sqlite3_finalize(s);
    return modo;
}

// Another process of this machine may open the same ledger at the same moment: the version is
// read again inside the write transaction, so only one of them applies each step.
bool migrado(sqlite3* db) {
    if (versionDe(db) >= RegistroEnvios::kVersionEsquema) {
        return true;
    }
    if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        return false;
    }
    const int version = versionDe(db);
    bool ok = version >= 0;
    for (int v = version; ok && v < RegistroEnvios::kVersionEsquema; ++v) {
        ok = sqlite3_exec(db, kMigraciones[v], nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    const std::string fijar =
        "PRAGMA user_version = " + std::to_string(RegistroEnvios::kVersionEsquema);
    ok = ok && (version >= RegistroEnvios::kVersionEsquema ||
                sqlite3_exec(db, fijar.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK);
    ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!ok) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    return ok;
}

} // namespace

std::filesystem::path RegistroEnvios::archivoEn(const std::filesystem::path& carpetaPrograma) {
    // SQLite's locks are seen by one machine only on a share: each machine keeps its own ledger
    // there, and what the machines must agree on goes through the claims.
    if (fs::isNetworkFileSystem(carpetaPrograma)) {
        return fs::resolveInFolder(carpetaPrograma,
                                   "registro-envios." + currentProcess().host + ".db");
    }
    return fs::resolveInFolder(carpetaPrograma, "registro-envios.db");
}

RegistroEnvios::RegistroEnvios(const std::filesystem::path& archivo) : archivo_(archivo) {
    if (sqlite3_open_v2(archivo.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK) {
        const std::string why = db_ != nullptr ? sqlite3_errmsg(db_) : "sin memoria";
        sqlite3_close(db_);
        db_ = nullptr;
        throw ErrorBaseDatos("No se pudo abrir el registro de envíos " + archivo.string() + ": " +
                             why);
    }
    sqlite3_busy_timeout(db_, 5000);
    sqlite3_create_function(db_, "texto_buscable", 6, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                            funcionTextoBuscable, nullptr, nullptr);
    const char* journal = journalModeStatement(archivo);
    if (writeAheadLogFor(archivo)) {
        // Another process's connection may hold the switch up: the ledger then keeps its
        // rollback journal, where every commit waits for the disk, as it always did.
        sqlite3_exec(db_, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
        conLog_ = modoDiario(db_) == "wal";
    }
    if ((journal != nullptr &&
         sqlite3_exec(db_, journal, nullptr, nullptr, nullptr) != SQLITE_OK) ||
        sqlite3_exec(db_, "PRAGMA synchronous = FULL", nullptr, nullptr, nullptr) != SQLITE_OK ||
        (conLog_ && sqlite3_exec(db_, "PRAGMA synchronous = NORMAL", nullptr, nullptr, nullptr) !=
                        SQLITE_OK) ||
        sqlite3_exec(db_, kEsquema, nullptr, nullptr, nullptr) != SQLITE_OK || !migrado(db_)) {
        // The destructor does not run for a constructor that throws: the connection closes here.
        const std::string why = sqlite3_errmsg(db_);
        sqlite3_close(db_);
        db_ = nullptr;
        throw ErrorBaseDatos("No se pudo preparar el registro de envíos " + archivo.string() +
                             ": " + why);
    }
    // What a run that ended without it (killed, or of an older version) left out of the index.
    try {
        indexarPendientes();
    } catch (const ErrorBaseDatos&) {
        cerrar();
        throw;
    }
}

RegistroEnvios::~RegistroEnvios() {
    try {
        indexarPendientes();
    } catch (const ErrorBaseDatos&) {
        // Left listed: the next open indexes them.
    }
    cerrar();
}

void RegistroEnvios::cerrar() noexcept {
    for (auto& [sql, sentencia] : sentencias_) {
        sqlite3_finalize(sentencia);
    }
    sentencias_.clear();
    sqlite3_close(db_);
    db_ = nullptr;
}

int RegistroEnvios::preparada(const std::string& sql, sqlite3_stmt*& sentencia) {
    auto& guardada = sentencias_[sql];
    const int rc = guardada != nullptr
                       ? SQLITE_OK
                       : sqlite3_prepare_v3(db_, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT,
                                            &guardada, nullptr);
    if (rc != SQLITE_OK) {
        sentencias_.erase(sql);
    }
    sentencia = rc == SQLITE_OK ? guardada : nullptr;
    return rc;
}

void RegistroEnvios::ejecutar(const std::string& sql, const std::vector<std::string>& args) {
    sqlite3_stmt* s = nullptr;
    int rc = preparada(sql, s);
    for (std::size_t i = 0; rc == SQLITE_OK && i < args.size(); ++i) {
        rc = sqlite3_bind_text(s, static_cast<int>(i) + 1, args[i].c_str(), -1, SQLITE_TRANSIENT);
    }
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(s);
    }
    if (s != nullptr) {
        sqlite3_reset(s);
        sqlite3_clear_bindings(s);
    }
    if (rc != SQLITE_DONE && rc != SQLITE_ROW && rc != SQLITE_OK) {
        throw ErrorBaseDatos("No se pudo escribir en el registro de envíos " + archivo_.string() +
                             ": " + sqlite3_errmsg(db_));
    }
}

// `alDisco`: the commit returns once it is on disk. With the rollback journal (a share) every
// commit does; in the write-ahead log only those asked to, and such a commit carries every earlier
// one of the log to the disk with it.
template <typename Cambio> long long RegistroEnvios::transaccion(bool alDisco, Cambio&& cambio) {
    const bool esperarDisco = conLog_ && alDisco;
    if (esperarDisco) {
        ejecutar("PRAGMA synchronous = FULL", {});
    }
    ejecutar("BEGIN IMMEDIATE", {});
    try {
        const long long id = cambio();
        ejecutar("COMMIT", {});
        if (esperarDisco) {
            ejecutar("PRAGMA synchronous = NORMAL", {});
        }
        return id;
    } catch (...) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        if (esperarDisco) {
            sqlite3_exec(db_, "PRAGMA synchronous = NORMAL", nullptr, nullptr, nullptr);
        }
        throw;
    }
}

// The attempt and its listing for the index go in together: the index never misses a change.
template <typename Cambio>
long long RegistroEnvios::escribirIntento(bool alDisco, Cambio&& cambio) {
    return transaccion(alDisco, [&] {
        const long long id = cambio();
        ejecutar(kAnotarPorIndexar, {std::to_string(id)});
        return id;
    });
}

// Called at every open, close and run's end: with nothing listed (every earlier write then went to
// disk with the transaction that emptied the list) it only reads, and waits for no disk.
void RegistroEnvios::indexarPendientes() {
    if (!hayPendientes()) {
        return;
    }
    transaccion(true, [this] {
        ejecutar(ordenIndexarNuevos(), {});
        ejecutar(kIndexarListados, {});
        ejecutar(kVaciarPorIndexar, {});
        return 0LL;
    });
}

bool RegistroEnvios::hayPendientes() {
    sqlite3_stmt* s = nullptr;
    const int rc = sqlite3_prepare_v2(db_, consultaHayPendientes().c_str(), -1, &s, nullptr);
    const bool hay =
        rc != SQLITE_OK || sqlite3_step(s) != SQLITE_ROW || sqlite3_column_int(s, 0) != 0;
    sqlite3_finalize(s);
    return hay; // when it cannot tell, the transaction finds out
}

long long RegistroEnvios::antesDeEnviar(const Intento& i) {
    // Before its message goes out, on disk: what a crash of the machine must not lose.
    return escribirIntento(true, [&] {
        ejecutar("INSERT INTO intentos (ejecucion, documento, tamano, sha256, destinatario, "
                 "nombre_listado, hora, resultado, sha256_adjunto) "
                 "VALUES (?, ?, ?, ?, ?, ?, ?, 'enviando', ?)",
                 {i.ejecucion, i.documento, std::to_string(i.tamano), i.sha256, i.destinatario,
                  i.nombreListado, i.hora, i.sha256Adjunto});
        return sqlite3_last_insert_rowid(db_);
    });
}

void RegistroEnvios::respuesta(long long id, Resultado resultado, const std::string& messageId,
                               const std::string& respuestaServidor) {
    // On disk with the next attempt's first write, before its message goes out, or with the
    // run's indexarPendientes; a crash of the machine before then leaves the attempt "enviando",
    // which stops its document just the same.
    escribirIntento(false, [&] {
        ejecutar("UPDATE intentos SET resultado = ?, message_id = ?, respuesta = ?, "
                 "hora_respuesta = strftime('%Y-%m-%dT%H:%M:%SZ', 'now') WHERE id = ?",
                 {nombreDe(resultado), messageId, respuestaServidor, std::to_string(id)});
        return id;
    });
}

void RegistroEnvios::renombrado(long long id, const std::filesystem::path& nuevo) {
    escribirIntento(false, [&] {
        ejecutar("UPDATE intentos SET renombrado_a = ?, hora_renombrado = "
                 "strftime('%Y-%m-%dT%H:%M:%SZ', 'now') WHERE id = ?",
                 {nuevo.string(), std::to_string(id)});
        return id;
    });
}

void RegistroEnvios::descartar(long long id) {
    // Not waited for on disk: should a crash of the machine lose it, the attempt stays
    // "enviando", a question for a person rather than a second mailing.
    transaccion(false, [&] {
        const std::string clave = std::to_string(id);
        ejecutar("DELETE FROM intentos WHERE id = ? AND resultado = 'enviando'", {clave});
        // An attempt that had got further stays, and so does its place in the index.
        if (sqlite3_changes(db_) > 0) {
            ejecutar("DELETE FROM por_indexar WHERE id = ?", {clave});
            ejecutar("DELETE FROM busqueda WHERE rowid = ?", {clave});
        }
        return id;
    });
}

void RegistroEnvios::renombradoAlIniciar(long long id, const std::filesystem::path& nuevo) {
    escribirIntento(true, [&] {
        ejecutar("UPDATE intentos SET renombrado_a = ?, renombrado_al_iniciar = 1, "
                 "hora_renombrado = strftime('%Y-%m-%dT%H:%M:%SZ', 'now') WHERE id = ?",
                 {nuevo.string(), std::to_string(id)});
        return id;
    });
}

std::vector<RegistroEnvios::Intento>
RegistroEnvios::consultar(const std::string& where, const std::vector<std::string>& args) {
    const std::string sql =
        "SELECT id, ejecucion, documento, tamano, sha256, destinatario, hora, "
        "resultado, message_id, respuesta, renombrado_a, nombre_listado, sha256_adjunto FROM "
        "intentos WHERE " +
        where;
    sqlite3_stmt* s = nullptr;
    if (preparada(sql, s) != SQLITE_OK) {
        throw ErrorBaseDatos("No se pudo leer el registro de envíos " + archivo_.string() + ": " +
                             sqlite3_errmsg(db_));
    }
    for (std::size_t i = 0; i < args.size(); ++i) {
        sqlite3_bind_text(s, static_cast<int>(i) + 1, args[i].c_str(), -1, SQLITE_TRANSIENT);
    }
    std::vector<Intento> out;
    while (sqlite3_step(s) == SQLITE_ROW) {
        Intento i;
        i.id = sqlite3_column_int64(s, 0);
        i.ejecucion = text(s, 1);
        i.documento = text(s, 2);
        i.tamano = static_cast<std::uintmax_t>(sqlite3_column_int64(s, 3));
        i.sha256 = text(s, 4);
        i.destinatario = text(s, 5);
        i.hora = text(s, 6);
        i.resultado = resultadoDe(text(s, 7));
        i.messageId = text(s, 8);
        i.respuesta = text(s, 9);
        if (sqlite3_column_type(s, 10) != SQLITE_NULL) {
            i.renombradoA = text(s, 10);
        }
        i.nombreListado = text(s, 11);
        i.sha256Adjunto = text(s, 12);
        out.push_back(std::move(i));
    }
    sqlite3_reset(s);
    sqlite3_clear_bindings(s);
    return out;
}

std::vector<RegistroEnvios::Intento> RegistroEnvios::sinRenombrar() {
    return consultar(std::string(kPuedeEstarEnviado) + " AND renombrado_a IS NULL ORDER BY id", {});
}

std::optional<RegistroEnvios::Intento> RegistroEnvios::envioPrevio(const std::string& documento,
                                                                   const std::string& sha256) {
    auto found = consultar(std::string(kPuedeEstarEnviado) +
                               " AND documento = ? AND sha256 = ? ORDER BY id DESC LIMIT 1",
                           {documento, sha256});
    if (found.empty()) {
        return std::nullopt;
    }
    return found.front();
}

bool RegistroEnvios::hayEnvioPrevio(const std::string& documento) {
    return !consultar(std::string(kPuedeEstarEnviado) + " AND documento = ? LIMIT 1", {documento})
                .empty();
}

std::vector<RegistroEnvios::Intento> RegistroEnvios::dudosos() {
    // The newest attempt of each document decides: an older doubt that a later attempt settled
    // is no doubt any more.
    return consultar("id IN (SELECT MAX(id) FROM intentos GROUP BY documento) AND "
                     "(resultado IN ('incierto', 'enviando') OR "
                     "(resultado = 'aceptado' AND renombrado_a IS NULL)) ORDER BY id",
                     {});
}

std::vector<RegistroEnvios::Intento> RegistroEnvios::todos() {
    return consultar("1 ORDER BY id", {});
}

namespace {

bool esRegistroDeEnvios(const std::filesystem::path& archivo) {
    std::string nombre = archivo.filename().string();
    for (char& c : nombre) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return nombre.starts_with("registro-envios.") && nombre.ends_with(".db");
}

// A path as an SQLite URI's file name: only these three characters mean something there.
std::string comoUri(const std::string& ruta) {
    std::string uri;
    for (const char c : ruta) {
        uri += c == '%'   ? std::string("%25")
               : c == '?' ? std::string("%3F")
               : c == '#' ? std::string("%23")
                          : std::string(1, c);
    }
    return uri;
}

// Read-only, and on a share without looking at locks or a journal: another machine's locks are
// not seen there, so a journal it is still writing would look abandoned and be rolled back.
void leerHoras(const std::filesystem::path& archivo, bool enRecurso, const std::string& desde,
               std::vector<std::string>& horas) {
    const std::string uri =
        "file:" + comoUri(archivo.string()) + (enRecurso ? "?mode=ro&immutable=1" : "?mode=ro");
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(uri.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) ==
        SQLITE_OK) {
        sqlite3_busy_timeout(db, 5000);
        sqlite3_stmt* s = nullptr;
        const std::string sql =
            std::string("SELECT hora FROM intentos WHERE ") + kPuedeEstarEnviado + " AND hora >= ?";
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK) {
            sqlite3_bind_text(s, 1, desde.c_str(), -1, SQLITE_TRANSIENT);
            while (sqlite3_step(s) == SQLITE_ROW) {
                horas.push_back(text(s, 0));
            }
        }
        sqlite3_finalize(s);
    }
    sqlite3_close(db);
}

} // namespace

std::vector<std::string> RegistroEnvios::horasDeEnvio(const std::filesystem::path& carpetaPrograma,
                                                      const std::string& desde) {
    std::vector<std::string> horas;
    const bool enRecurso = fs::isNetworkFileSystem(carpetaPrograma);
    std::error_code error;
    for (const auto& entrada : std::filesystem::directory_iterator(carpetaPrograma, error)) {
        if (esRegistroDeEnvios(entrada.path())) {
            leerHoras(entrada.path(), enRecurso, desde, horas);
        }
    }
    return horas;
}

} // namespace envio
