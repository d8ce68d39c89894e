#include "platform/LectorJet.h"

#include "database/Texto.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <mdbtools.h>

namespace envio {
namespace {

template <typename T> T readLittleEndian(const unsigned char* p) {
    T value{};
    std::memcpy(&value, p, sizeof(T)); // the files and this machine are both little-endian
    return value;
}

std::string twoDigits(long long n) {
    return std::string(1, static_cast<char>('0' + n / 10)) + static_cast<char>('0' + n % 10);
}

// Days since 0000-03-01 to a civil date (proleptic Gregorian).
void civilFromDays(long long z, long long& y, long long& m, long long& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = yoe + era * 400;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2 ? 1 : 0;
}

// Jet dates are days since 1899-12-30; the fraction is the time of day even for earlier dates.
std::string jetDate(double value) {
    if (!std::isfinite(value) || std::fabs(value) > 3.0e6) {
        return {};
    }
    const double whole = std::trunc(value);
    long long seconds = std::llround(std::fabs(value - whole) * 86400.0);
    long long days = static_cast<long long>(whole) - 25569; // 1899-12-30 to 1970-01-01
    if (seconds >= 86400) {
        seconds -= 86400;
        days += 1;
    }
    long long y = 0, m = 0, d = 0;
    civilFromDays(days, y, m, d);
    std::string year = std::to_string(y);
    year.insert(0, year.size() < 4 ? 4 - year.size() : 0, '0');
    return year + "-" + twoDigits(m) + "-" + twoDigits(d) + " " + twoDigits(seconds / 3600) + ":" +
           twoDigits(seconds / 60 % 60) + ":" + twoDigits(seconds % 60);
}

std::string currency(long long tenThousandths) {
    const bool negative = tenThousandths < 0;
    const unsigned long long magnitude =
        negative ? 0ULL - static_cast<unsigned long long>(tenThousandths)
                 : static_cast<unsigned long long>(tenThousandths);
    std::string fraction = std::to_string(magnitude % 10000);
    fraction.insert(0, 4 - fraction.size(), '0');
    while (!fraction.empty() && fraction.back() == '0') {
        fraction.pop_back();
    }
    std::string text = (negative ? "-" : "") + std::to_string(magnitude / 10000);
    return fraction.empty() ? text : text + "." + fraction;
}

template <typename F> std::string shortest(F value) {
    std::array<char, 40> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return {buffer.data(), result.ptr};
}

struct BoundColumn {
    MdbColumn* column = nullptr;
    int position = 0; // 1-based place in the table's column list, as libmdb binds
    std::vector<char> buffer;
    int length = 0;
};

Valor decodeRaw(MdbHandle* mdb, const MdbColumn* column) {
    const int length = column->cur_value_len;
    if (length == 0 || column->cur_value_start <= 0) {
        return Valor::nulo();
    }
    const unsigned char* bytes = mdb->pg_buf + column->cur_value_start;
    switch (column->col_type) {
    case MDB_FLOAT:
        return length >= 4 ? Valor::numero(shortest(readLittleEndian<float>(bytes))) : Valor::nulo();
    case MDB_DOUBLE:
        return length >= 8 ? Valor::numero(shortest(readLittleEndian<double>(bytes))) : Valor::nulo();
    case MDB_MONEY:
        return length >= 8 ? Valor::numero(currency(readLittleEndian<long long>(bytes)))
                           : Valor::nulo();
    case MDB_DATETIME: {
        const std::string date = length >= 8 ? jetDate(readLittleEndian<double>(bytes)) : "";
        return date.empty() ? Valor::nulo() : Valor::texto(date);
    }
    default: return Valor::nulo();
    }
}

bool decodedFromRowBytes(int type) {
    return type == MDB_FLOAT || type == MDB_DOUBLE || type == MDB_MONEY || type == MDB_DATETIME;
}

Valor decodeBound(const BoundColumn& bound) {
    const int type = bound.column->col_type;
    const std::string text(bound.buffer.data(),
                           static_cast<std::size_t>(std::max(bound.length, 0)));
    switch (type) {
    case MDB_TEXT:
    case MDB_MEMO: return Valor::texto(text);
    case MDB_BOOL:
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_NUMERIC: return text.empty() ? Valor::nulo() : Valor::numero(text);
    case MDB_OLE:
    case MDB_BINARY: return Valor::nulo(); // the program never reads binary fields
    default: return text.empty() ? Valor::nulo() : Valor::texto(text);
    }
}

} // namespace

struct LectorJet::Estado {
    MdbHandle* mdb = nullptr;
    std::vector<MdbCatalogEntry*> tablas; // cached: libmdb re-reads the catalogue on every look-up
};

LectorJet::LectorJet(const std::filesystem::path& archivo)
    : archivo_(archivo), estado_(std::make_unique<Estado>()) {
    estado_->mdb = mdb_open(archivo.c_str(), MDB_NOFLAGS);
    if (estado_->mdb == nullptr) {
        throw ErrorBaseDatos("No se pudo abrir la base de datos " + archivo.string() +
                             ": el archivo está dañado o no es una base de datos de Access");
    }
    mdb_set_date_fmt(estado_->mdb, "%Y-%m-%d %H:%M:%S");
    if (mdb_read_catalog(estado_->mdb, MDB_TABLE) == nullptr) {
        mdb_close(estado_->mdb);
        throw ErrorBaseDatos("No se pudo leer el catálogo de la base de datos " + archivo.string() +
                             ": el archivo está dañado");
    }
    for (unsigned i = 0; i < estado_->mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(estado_->mdb->catalog, i));
        if (entry->object_type == MDB_TABLE) {
            estado_->tablas.push_back(entry);
        }
    }
}

LectorJet::~LectorJet() { mdb_close(estado_->mdb); }

std::vector<std::string> LectorJet::tablas() {
    std::vector<std::string> nombres;
    for (const auto* entry : estado_->tablas) {
        nombres.emplace_back(entry->object_name);
    }
    return nombres;
}

TablaLeida LectorJet::leerTabla(std::string_view tabla, const std::vector<std::string>& campos) {
    MdbCatalogEntry* entry = nullptr;
    for (auto* candidate : estado_->tablas) {
        if (igualesSinMayusculas(candidate->object_name, tabla)) {
            entry = candidate;
            break;
        }
    }
    if (entry == nullptr) {
        throw ErrorBaseDatos("La tabla " + std::string(tabla) + " no existe en la base de datos " +
                             archivo_.string());
    }
    MdbTableDef* table = mdb_read_table(entry);
    if (table == nullptr || mdb_read_columns(table) == nullptr) {
        if (table != nullptr) {
            mdb_free_tabledef(table);
        }
        throw ErrorBaseDatos("No se pudo leer la tabla " + std::string(tabla) +
                             " de la base de datos " + archivo_.string() + ": el archivo está dañado");
    }
    TablaLeida result{entry->object_name, {}, {}};
    std::vector<BoundColumn> bound;
    std::vector<MdbColumn*> raw; // position in the result: bound ones first, then raw ones
    std::vector<std::pair<bool, std::size_t>> layout;
    for (unsigned i = 0; i < table->num_cols; ++i) {
        auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
        const bool wanted =
            campos.empty() || std::any_of(campos.begin(), campos.end(), [&](const auto& c) {
                return igualesSinMayusculas(c, column->name);
            });
        if (!wanted) {
            continue;
        }
        result.columnas.emplace_back(column->name);
        if (decodedFromRowBytes(column->col_type)) {
            layout.emplace_back(false, raw.size());
            raw.push_back(column);
        } else {
            layout.emplace_back(true, bound.size());
            bound.push_back({column, static_cast<int>(i) + 1,
                             std::vector<char>(estado_->mdb->bind_size + 1), 0});
        }
    }
    for (auto& b : bound) {
        mdb_bind_column(table, b.position, b.buffer.data(), &b.length);
    }
    mdb_rewind_table(table);
    // A damaged page chain can make libmdb go round in circles; no table holds more rows than
    // its file has room for (at most 1000 rows on a page of at least 2048 bytes).
    std::error_code error;
    const std::size_t maxRows = (std::filesystem::file_size(archivo_, error) / 2048 + 1) * 1000;
    while (mdb_fetch_row(table) != 0) {
        if (result.filas.size() >= maxRows) {
            mdb_free_tabledef(table);
            throw ErrorBaseDatos("La tabla " + std::string(tabla) + " de la base de datos " +
                                 archivo_.string() + " está dañada");
        }
        std::vector<Valor> fila;
        fila.reserve(layout.size());
        for (const auto& [isBound, index] : layout) {
            fila.push_back(isBound ? decodeBound(bound[index])
                                   : decodeRaw(estado_->mdb, raw[index]));
        }
        result.filas.push_back(std::move(fila));
    }
    mdb_free_tabledef(table);
    return result;
}

} // namespace envio
