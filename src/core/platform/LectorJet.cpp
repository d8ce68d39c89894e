#include "platform/LectorJet.h"

#include "database/Texto.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <mdbtools.h>
#include <memory>
#include <optional>

namespace envio {
namespace {

template <typename T> T readLittleEndian(const unsigned char* p) {
    T value{};
    std::memcpy(&value, p, sizeof(T)); // the files and this machine are both little-endian
    return value;
}

// Writes n (0..99) as two digits at p.
void putTwoDigits(char* p, long long n) {
    p[0] = static_cast<char>('0' + n / 10);
    p[1] = static_cast<char>('0' + n % 10);
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
    // Built in place: a table of dates reads one per row, and temporaries would double its cost.
    std::array<char, 40> text{};
    char* year = text.data() + 4; // room for the zeros that make a short year four digits
    char* p = std::to_chars(year, text.data() + 24, y).ptr;
    while (p - year < 4) {
        *--year = '0';
    }
    *p = '-';
    putTwoDigits(p + 1, m);
    p[3] = '-';
    putTwoDigits(p + 4, d);
    p[6] = ' ';
    putTwoDigits(p + 7, seconds / 3600);
    p[9] = ':';
    putTwoDigits(p + 10, seconds / 60 % 60);
    p[12] = ':';
    putTwoDigits(p + 13, seconds % 60);
    return {year, p + 15};
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

// A Single keeps the digits it was typed with (0.1, not 0.10000000149011612): its own shortest
// digits, read back as the double they name, then written as every other number is.
std::string singleText(float value) {
    std::array<char, 40> buffer{};
    const auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    double asDouble = 0.0;
    std::from_chars(buffer.data(), written.ptr, asDouble);
    return textoDeNumero(asDouble);
}

std::string integerText(long long value) {
    std::array<char, 24> buffer{};
    return {buffer.data(), std::to_chars(buffer.data(), buffer.data() + buffer.size(), value).ptr};
}

struct BoundColumn {
    MdbColumn* column = nullptr;
    int position = 0; // 1-based place in the table's column list, as libmdb binds
    std::vector<char> buffer;
    int length = 0;
};

Valor decodeRaw(MdbHandle* mdb, const MdbColumn* column) {
    const int length = column->cur_value_len;
    // A damaged table definition can place a value past the page.
    if (length <= 0 || column->cur_value_start <= 0 ||
        static_cast<std::size_t>(column->cur_value_start) + static_cast<std::size_t>(length) >
            sizeof mdb->pg_buf) {
        return Valor::nulo();
    }
    const unsigned char* bytes = mdb->pg_buf + column->cur_value_start;
    switch (column->col_type) {
    case MDB_BYTE:
        return Valor::numero(integerText(bytes[0]));
    case MDB_INT:
        return length >= 2 ? Valor::numero(integerText(readLittleEndian<std::int16_t>(bytes)))
                           : Valor::nulo();
    case MDB_LONGINT:
        return length >= 4 ? Valor::numero(integerText(readLittleEndian<std::int32_t>(bytes)))
                           : Valor::nulo();
    case MDB_FLOAT:
        return length >= 4 ? Valor::numero(singleText(readLittleEndian<float>(bytes)))
                           : Valor::nulo();
    case MDB_DOUBLE:
        return length >= 8 ? Valor::numero(readLittleEndian<double>(bytes)) : Valor::nulo();
    case MDB_MONEY:
        return length >= 8 ? Valor::numero(currency(readLittleEndian<long long>(bytes)))
                           : Valor::nulo();
    case MDB_DATETIME: {
        std::string date = length >= 8 ? jetDate(readLittleEndian<double>(bytes)) : "";
        return date.empty() ? Valor::nulo() : Valor::texto(std::move(date));
    }
    default:
        return Valor::nulo();
    }
}

bool isText(int type) {
    return type == MDB_TEXT || type == MDB_MEMO;
}

// libmdb hands over a NULL and an empty text alike, as no bytes, but Jet keeps them apart ('' is a
// value, NULL is none): only the row's null mask tells. mdb_fetch_row leaves the row's page in
// pg_buf and cur_row just past it. False when the row cannot be read again.
bool crackCurrentRow(MdbTableDef* table, std::vector<MdbField>& fields) {
    MdbHandle* mdb = table->entry->mdb;
    int start = 0;
    std::size_t size = 0;
    return table->cur_row > 0 &&
           mdb_find_row(mdb, static_cast<int>(table->cur_row) - 1, &start, &size) == 0 &&
           size > 0 && mdb_crack_row(table, start & 0x1FFF, size, fields.data()) >= 0;
}

// Numbers and dates come straight from the row's bytes: libmdb prints fractions and dates
// through the process locale, and its printf costs more than the rest of the read.
bool decodedFromRowBytes(int type) {
    return type == MDB_BYTE || type == MDB_INT || type == MDB_LONGINT || type == MDB_FLOAT ||
           type == MDB_DOUBLE || type == MDB_MONEY || type == MDB_DATETIME;
}

Valor decodeBound(const BoundColumn& bound) {
    const int type = bound.column->col_type;
    std::string text(bound.buffer.data(), static_cast<std::size_t>(std::max(bound.length, 0)));
    switch (type) {
    case MDB_TEXT:
    case MDB_MEMO:
        return Valor::texto(std::move(text));
    case MDB_BOOL:
    case MDB_NUMERIC:
        return text.empty() ? Valor::nulo() : Valor::numero(std::move(text));
    case MDB_OLE:
    case MDB_BINARY:
        return Valor::nulo(); // the program never reads binary fields
    default:
        return text.empty() ? Valor::nulo() : Valor::texto(std::move(text));
    }
}

// The catalogue entry of a table, found without regard to case.
MdbCatalogEntry* findTable(const std::vector<MdbCatalogEntry*>& tables, std::string_view name,
                           const std::filesystem::path& file) {
    const auto found = std::find_if(tables.begin(), tables.end(), [&](const auto* entry) {
        return igualesSinMayusculas(entry->object_name, name);
    });
    if (found == tables.end()) {
        throw ErrorBaseDatos("La tabla " + std::string(name) + " no existe en la base de datos " +
                             file.string());
    }
    return *found;
}

struct TableCloser {
    void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
};
using TablePtr = std::unique_ptr<MdbTableDef, TableCloser>;

// The columns a read returns, in the table's order, and where each one's value comes from.
struct ColumnPlan {
    std::vector<std::string> names;
    std::vector<BoundColumn> bound; // bound to libmdb's buffers: never resized once bound
    std::vector<MdbColumn*> raw;    // decoded from the row's bytes
    std::vector<std::pair<bool, std::size_t>> layout; // per result column: bound?, index
};

ColumnPlan planColumns(MdbHandle* mdb, MdbTableDef* table, const std::vector<std::string>& wanted) {
    ColumnPlan plan;
    for (unsigned i = 0; i < table->num_cols; ++i) {
        auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
        const bool isWanted =
            wanted.empty() || std::any_of(wanted.begin(), wanted.end(), [&](const auto& name) {
                return igualesSinMayusculas(name, column->name);
            });
        if (!isWanted) {
            continue;
        }
        plan.names.emplace_back(column->name);
        if (decodedFromRowBytes(column->col_type)) {
            plan.layout.emplace_back(false, plan.raw.size());
            plan.raw.push_back(column);
        } else {
            plan.layout.emplace_back(true, plan.bound.size());
            plan.bound.push_back(
                {column, static_cast<int>(i) + 1, std::vector<char>(mdb->bind_size + 1), 0});
        }
    }
    for (auto& b : plan.bound) {
        mdb_bind_column(table, b.position, b.buffer.data(), &b.length);
    }
    mdb_rewind_table(table);
    return plan;
}

// The row libmdb has just fetched; nothing when it cannot be read again to tell a NULL text
// from an empty one (a damaged page).
std::optional<std::vector<Valor>> readCurrentRow(MdbHandle* mdb, MdbTableDef* table,
                                                 const ColumnPlan& plan,
                                                 std::vector<MdbField>& fields) {
    bool cracked = false;
    std::vector<Valor> row;
    row.reserve(plan.layout.size());
    for (const auto& [isBound, index] : plan.layout) {
        if (!isBound) {
            row.push_back(decodeRaw(mdb, plan.raw[index]));
            continue;
        }
        const BoundColumn& b = plan.bound[index];
        if (b.length > 0 || !isText(b.column->col_type)) {
            row.push_back(decodeBound(b));
            continue;
        }
        if (!cracked && !crackCurrentRow(table, fields)) {
            return std::nullopt;
        }
        cracked = true;
        row.push_back(fields[static_cast<std::size_t>(b.position - 1)].is_null != 0
                          ? Valor::nulo()
                          : Valor::texto({}));
    }
    return row;
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

LectorJet::~LectorJet() {
    mdb_close(estado_->mdb);
}

std::vector<std::string> LectorJet::tablas() {
    std::vector<std::string> nombres;
    for (const auto* entry : estado_->tablas) {
        nombres.emplace_back(entry->object_name);
    }
    return nombres;
}

TablaLeida LectorJet::leerTabla(std::string_view tabla, const std::vector<std::string>& campos) {
    MdbCatalogEntry* entrada = findTable(estado_->tablas, tabla, archivo_);
    const TablePtr definicion(mdb_read_table(entrada));
    if (!definicion || mdb_read_columns(definicion.get()) == nullptr) {
        throw ErrorBaseDatos("No se pudo leer la tabla " + std::string(tabla) +
                             " de la base de datos " + archivo_.string() +
                             ": el archivo está dañado");
    }
    ColumnPlan plan = planColumns(estado_->mdb, definicion.get(), campos);
    TablaLeida leida{entrada->object_name, plan.names, {}};
    // A damaged page chain can make libmdb go round in circles; no table holds more rows than
    // its file has room for (at most 1000 rows on a page of at least 2048 bytes).
    std::error_code error;
    const std::size_t maximo = (std::filesystem::file_size(archivo_, error) / 2048 + 1) * 1000;
    std::vector<MdbField> celdas(definicion->num_cols);
    while (mdb_fetch_row(definicion.get()) != 0) {
        auto fila = readCurrentRow(estado_->mdb, definicion.get(), plan, celdas);
        if (!fila || leida.filas.size() >= maximo) {
            throw ErrorBaseDatos("La tabla " + std::string(tabla) + " de la base de datos " +
                                 archivo_.string() + " está dañada");
        }
        leida.filas.push_back(std::move(*fila));
    }
    return leida;
}

} // namespace envio
