#include "EscritorBases.h"

#include <cmath>
#include <cstdio>
#include <sqlite3.h>
#include <stdexcept>

namespace suitegen {
namespace {

using jetwriter::Column;
using jetwriter::ColumnType;
using jetwriter::Value;

template <typename T> Value optional(const std::optional<T>& v) {
    return v ? Value(*v) : Value::null();
}

// Jet's day count (days since 1899-12-30, the fraction the time of day) as "YYYY-MM-DD HH:MM:SS".
std::string isoDate(const jetwriter::DateTime& date) {
    const double whole = std::floor(date.days);
    long long seconds = std::llround((date.days - whole) * 86400.0);
    long long z = static_cast<long long>(whole) - 25569 + 719468; // days since 0000-03-01
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const long long d = doy - (153 * mp + 2) / 5 + 1;
    const long long m = mp < 10 ? mp + 3 : mp - 9;
    const long long y = yoe + era * 400 + (m <= 2 ? 1 : 0);
    char text[96]; // room for any long long the compiler can imagine, not just real dates
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld", y, m, d,
                  seconds / 3600, seconds / 60 % 60, seconds % 60);
    return text;
}

const char* sqliteType(ColumnType type) {
    switch (type) {
    case ColumnType::Text:
    case ColumnType::Memo:
        return "TEXT";
    case ColumnType::DateTime:
        return "DATETIME";
    case ColumnType::Double:
    case ColumnType::Currency:
        return "REAL";
    default:
        return "INTEGER";
    }
}

void check(sqlite3* db, int rc, const std::string& what) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        throw std::runtime_error(what + ": " + sqlite3_errmsg(db));
    }
}

void bind(sqlite3* db, sqlite3_stmt* statement, int index, const Value& value) {
    const auto& data = value.data();
    int rc = SQLITE_OK;
    if (const auto* n = std::get_if<std::int64_t>(&data)) {
        rc = sqlite3_bind_int64(statement, index, *n);
    } else if (const auto* x = std::get_if<double>(&data)) {
        rc = sqlite3_bind_double(statement, index, *x);
    } else if (const auto* t = std::get_if<std::string>(&data)) {
        rc = sqlite3_bind_text(statement, index, t->c_str(), -1, SQLITE_TRANSIENT);
    } else if (const auto* b = std::get_if<bool>(&data)) {
        rc = sqlite3_bind_int(statement, index, *b ? 1 : 0);
    } else if (const auto* date = std::get_if<jetwriter::DateTime>(&data)) {
        // SQLite keeps dates the way the program reads them back from Access files.
        const std::string text = isoDate(*date);
        rc = sqlite3_bind_text(statement, index, text.c_str(), -1, SQLITE_TRANSIENT);
    } else if (const auto* money = std::get_if<jetwriter::Currency>(&data)) {
        rc = sqlite3_bind_double(statement, index,
                                 static_cast<double>(money->tenThousandths) / 10000.0);
    } else {
        rc = sqlite3_bind_null(statement, index);
    }
    check(db, rc, "bind");
}

void writeSqlite(const std::filesystem::path& path, const std::vector<TablaGenerada>& tables) {
    std::filesystem::remove(path);
    sqlite3* db = nullptr;
    check(db, sqlite3_open(path.c_str(), &db), "open " + path.string());
    try {
        check(db, sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), "begin");
        for (const auto& t : tables) {
            std::string columns;
            std::string marks;
            for (const auto& c : t.columnas) {
                columns += (columns.empty() ? "\"" : ", \"") + c.name + "\" " + sqliteType(c.type);
                marks += marks.empty() ? "?" : ", ?";
            }
            check(db,
                  sqlite3_exec(db, ("CREATE TABLE \"" + t.nombre + "\" (" + columns + ")").c_str(),
                               nullptr, nullptr, nullptr),
                  "create " + t.nombre);
            sqlite3_stmt* insert = nullptr;
            check(db,
                  sqlite3_prepare_v2(
                      db, ("INSERT INTO \"" + t.nombre + "\" VALUES (" + marks + ")").c_str(), -1,
                      &insert, nullptr),
                  "prepare");
            for (const auto& row : t.filas) {
                for (std::size_t i = 0; i < row.size(); ++i) {
                    bind(db, insert, static_cast<int>(i) + 1, row[i]);
                }
                check(db, sqlite3_step(insert), "insert into " + t.nombre);
                sqlite3_reset(insert);
            }
            sqlite3_finalize(insert);
        }
        check(db, sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), "commit");
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    sqlite3_close(db);
}

} // namespace

void escribirTablas(const std::filesystem::path& archivo, Formato formato,
                    const std::vector<TablaGenerada>& tablas) {
    std::filesystem::create_directories(archivo.parent_path());
    if (formato == Formato::Sqlite) {
        writeSqlite(archivo, tablas);
        return;
    }
    jetwriter::Database db;
    for (const auto& t : tablas) {
        auto& tabla = db.addTable(t.nombre, t.columnas);
        for (const auto& fila : t.filas) {
            tabla.addRow(fila);
        }
    }
    db.write(archivo);
}

void escribirBaseFacturas(const std::filesystem::path& archivo, Formato formato,
                          const std::vector<Cliente>& clientes) {
    TablaGenerada c{"CLIENTES",
                    {{"IDCLIENTE", ColumnType::Long},
                     {"nombre", ColumnType::Text, 100},
                     {"Grupo", ColumnType::Text, 50},
                     {"CESE", ColumnType::DateTime}},
                    {}};
    TablaGenerada t{"CLITELEFONOS",
                    {{"IDEMPRESA", ColumnType::Long},
                     {"TIPO", ColumnType::Text, 1},
                     {"numero", ColumnType::Text, 100},
                     {"Prioridad", ColumnType::Integer}},
                    {}};
    for (const auto& cliente : clientes) {
        c.filas.push_back(
            {Value(cliente.id), Value(cliente.nombre), optional(cliente.grupo),
             cliente.cesado ? Value(jetwriter::DateTime::fromCivil(2020, 1, 31)) : Value::null()});
        for (const auto& fila : cliente.telefonos) {
            t.filas.push_back({Value(cliente.id), Value(fila.tipo), optional(fila.numero),
                               optional(fila.prioridad)});
        }
    }
    escribirTablas(archivo, formato, {c, t});
}

void escribirBaseNomina(const std::filesystem::path& archivo, Formato formato,
                        const std::vector<Empleado>& empleados) {
    TablaGenerada e{
        "campos_ex_tra", {{"codigo", ColumnType::Long}, {"nombre", ColumnType::Text, 100}}, {}};
    for (const auto& empleado : empleados) {
        e.filas.push_back({Value(empleado.codigo), Value(empleado.nombre)});
    }
    escribirTablas(archivo, formato, {e});
}

void escribirBaseAlternativa(const std::filesystem::path& archivo, Formato formato,
                             const std::vector<DireccionAlternativa>& filas) {
    TablaGenerada a{"EMAILS",
                    {{"NIF", ColumnType::Text, 9},
                     {"EMAIL", ColumnType::Text, 100},
                     {"NOMBRE", ColumnType::Text, 100}},
                    {}};
    for (const auto& fila : filas) {
        a.filas.push_back({Value(fila.nif), optional(fila.email), Value(fila.nombre)});
    }
    escribirTablas(archivo, formato, {a});
}

} // namespace suitegen
