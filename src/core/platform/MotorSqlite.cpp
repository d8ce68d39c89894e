#include "platform/MotorSqlite.h"

#include "database/Texto.h"
#include "platform/SqliteJournal.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <sqlite3.h>
#include <sys/stat.h>

namespace envio {
namespace {

// Names go into statements in double quotes; values always as bound parameters.
std::string sqlName(std::string_view name) {
    std::string out = "\"";
    for (const char c : name) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    return out + "\"";
}

struct StatementDeleter {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

Valor columnValue(sqlite3_stmt* statement, int column) {
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_NULL:
        return Valor::nulo();
    case SQLITE_INTEGER:
        return Valor::numero(std::to_string(sqlite3_column_int64(statement, column)));
    case SQLITE_FLOAT:
        return Valor::numero(sqlite3_column_double(statement, column));
    default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
        return Valor::texto(text == nullptr ? "" : text);
    }
    }
}

} // namespace

sqlite3* MotorSqlite::conectar(const std::filesystem::path& archivo, bool crear) {
    sqlite3* db = nullptr;
    // Serialized: the catalogue reads two tables of one database from two threads.
    const int flags =
        SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX | (crear ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(archivo.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        const std::string why = db != nullptr ? sqlite3_errmsg(db) : "sin memoria";
        sqlite3_close(db);
        throw ErrorBaseDatos("No se pudo abrir la base de datos " + archivo.string() + ": " + why);
    }
    // Another copy of the program may be writing the work table: wait for it a little.
    sqlite3_busy_timeout(db, 5000);
    sqlite3_extended_result_codes(db, 1);
    if (const char* journal = journalModeStatement(archivo)) {
        sqlite3_exec(db, journal, nullptr, nullptr, nullptr); // a read-only file keeps its mode
    }
    return db;
}

std::optional<MotorSqlite::Identidad>
MotorSqlite::identidadDe(const std::filesystem::path& archivo) {
    struct stat info {};
    if (::stat(archivo.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return Identidad{info.st_dev, info.st_ino};
}

MotorSqlite::MotorSqlite(const std::filesystem::path& archivo, bool crear)
    : archivo_(archivo), db_(conectar(archivo, crear)), identidad_(identidadDe(archivo)) {
    if (crear) {
        ejecutar("PRAGMA user_version = 1"); // writes the header: an empty file is no database
    }
}

// A database restored from a copy, or a new export renamed over the old one, is another file
// under the same name: an open connection would go on reading the old one, and the program would
// mail documents to addresses that the suite no longer holds.
void MotorSqlite::seguirAlArchivo() {
    const auto actual = identidadDe(archivo_);
    {
        std::shared_lock lectura(conexion_);
        if (actual && actual == identidad_) {
            return;
        }
    }
    std::unique_lock reapertura(conexion_);
    if (actual && actual == identidad_) {
        return;
    }
    sqlite3* nueva = conectar(archivo_, false); // throws when the file is gone
    sqlite3_close(db_);
    db_ = nueva;
    identidad_ = identidadDe(archivo_);
    if (sinEsperarDisco_) {
        aplicarEscrituraSinEspera();
    }
}

void MotorSqlite::escribirSinEsperarDisco() {
    std::unique_lock escritura(conexion_);
    sinEsperarDisco_ = true;
    aplicarEscrituraSinEspera();
}

// Another process's connection may hold the switch to the log up: the rollback journal then
// stays, without its waits.
void MotorSqlite::aplicarEscrituraSinEspera() {
    if (writeAheadLogFor(archivo_)) {
        sqlite3_exec(db_, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
    }
    ejecutar("PRAGMA synchronous = OFF");
}

MotorSqlite::~MotorSqlite() {
    sqlite3_close(db_);
}

void MotorSqlite::fallo(const std::string& que) const {
    throw ErrorBaseDatos(que + " en la base de datos " + archivo_.string() + ": " +
                         sqlite3_errmsg(db_));
}

void MotorSqlite::ejecutar(const std::string& sql) {
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        fallo("No se pudo ejecutar «" + sql + "»");
    }
}

std::vector<std::string> MotorSqlite::tablas() {
    seguirAlArchivo();
    std::shared_lock lectura(conexion_);
    return listaTablas();
}

std::vector<std::string> MotorSqlite::listaTablas() {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db_,
                           "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY rowid", -1,
                           &raw, nullptr) != SQLITE_OK) {
        fallo("No se pudo leer la lista de tablas");
    }
    Statement statement(raw);
    std::vector<std::string> names;
    int rc = 0;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
        names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(raw, 0)));
    }
    if (rc != SQLITE_DONE) {
        fallo("No se pudo leer la lista de tablas");
    }
    return names;
}

std::string MotorSqlite::nombreReal(std::string_view tabla) {
    for (auto& name : listaTablas()) {
        if (igualesSinMayusculas(name, tabla)) {
            return name;
        }
    }
    throw ErrorBaseDatos("La tabla " + std::string(tabla) + " no existe en la base de datos " +
                         archivo_.string());
}

TablaLeida MotorSqlite::leerTabla(std::string_view tabla, const std::vector<std::string>& campos) {
    seguirAlArchivo();
    std::shared_lock lectura(conexion_);
    const std::string name = nombreReal(tabla);
    sqlite3_stmt* raw = nullptr;
    const std::string sql = "SELECT * FROM " + sqlName(name);
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) {
        fallo("No se pudo leer la tabla " + name);
    }
    Statement statement(raw);
    TablaLeida result{name, {}, {}};
    std::vector<int> columns;
    for (int c = 0; c < sqlite3_column_count(raw); ++c) {
        const std::string column = sqlite3_column_name(raw, c);
        const bool wanted =
            campos.empty() || std::any_of(campos.begin(), campos.end(), [&](const auto& f) {
                return igualesSinMayusculas(f, column);
            });
        if (wanted) {
            result.columnas.push_back(column);
            columns.push_back(c);
        }
    }
    int rc = 0;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
        std::vector<Valor> fila;
        fila.reserve(columns.size());
        for (const int c : columns) {
            fila.push_back(columnValue(raw, c));
        }
        result.filas.push_back(std::move(fila));
    }
    if (rc != SQLITE_DONE) {
        fallo("No se pudo leer la tabla " + name);
    }
    return result;
}

void MotorSqlite::borrarTodo(std::string_view tabla) {
    seguirAlArchivo();
    std::shared_lock escritura(conexion_);
    ejecutar("DELETE FROM " + sqlName(nombreReal(tabla)));
}

// Rows are added after the table was emptied or read: those calls already followed the file, and
// a stat per row would be paid for nothing.
void MotorSqlite::agregarRegistro(std::string_view tabla,
                                  const std::vector<std::pair<std::string, Valor>>& campos) {
    agregarRegistros(tabla, {campos});
}

void MotorSqlite::agregarRegistros(std::string_view tabla, const std::vector<Registro>& registros) {
    if (registros.empty()) {
        return;
    }
    std::shared_lock escritura(conexion_);
    const auto& campos = registros.front();
    std::string names;
    std::string marks;
    for (const auto& campo : campos) {
        names += (names.empty() ? "" : ", ") + sqlName(campo.first);
        marks += marks.empty() ? "?" : ", ?";
    }
    const std::string sql =
        "INSERT INTO " + sqlName(nombreReal(tabla)) +
        (campos.empty() ? " DEFAULT VALUES" : " (" + names + ") VALUES (" + marks + ")");
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) {
        fallo("No se pudo añadir un registro a " + std::string(tabla));
    }
    Statement statement(raw);
    ejecutar("BEGIN IMMEDIATE");
    try {
        for (const auto& registro : registros) {
            for (std::size_t i = 0; i < registro.size(); ++i) {
                const Valor& v = registro[i].second;
                const int index = static_cast<int>(i) + 1;
                if (v.esNulo()) {
                    sqlite3_bind_null(raw, index);
                } else {
                    sqlite3_bind_text(raw, index, v.comoTexto().c_str(), -1, SQLITE_TRANSIENT);
                }
            }
            if (sqlite3_step(raw) != SQLITE_DONE) {
                fallo("No se pudo añadir un registro a " + std::string(tabla));
            }
            sqlite3_reset(raw);
        }
        ejecutar("COMMIT");
    } catch (const ErrorBaseDatos&) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void MotorSqlite::crearTabla(const DefinicionTabla& definicion) {
    seguirAlArchivo();
    std::shared_lock escritura(conexion_);
    std::string columns;
    for (const auto& campo : definicion.campos) {
        columns += columns.empty() ? "" : ", ";
        columns += sqlName(campo.nombre);
        columns += campo.tipo == DefinicionCampo::Tipo::EnteroAutonumerico
                       ? " INTEGER PRIMARY KEY AUTOINCREMENT"
                       : " VARCHAR(" + std::to_string(campo.tamano) + ")";
    }
    ejecutar("CREATE TABLE " + sqlName(definicion.nombre) + " (" + columns + ")");
}

} // namespace envio
