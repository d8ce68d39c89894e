#pragma once

// A minimal Jet 4 (.mdb) writer for test fixtures, benchmarks and demo data.
// Its files are meant for mdbtools' libmdb and our own engine, not for Access:
// there are no indexes, no system tables beyond a bare catalogue, and memos
// are always stored inside the row.

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

namespace jetwriter {

enum class ColumnType { Boolean, Byte, Integer, Long, Currency, Double, DateTime, Text, Memo };

struct Column {
    std::string name;
    ColumnType type;
    int size = 0; // Text only: the width in characters, 1..255
};

// Jet's own representation: days since 1899-12-30, the time of day as the fraction.
struct DateTime {
    double days = 0;
    static DateTime fromCivil(int year, int month, int day, int hour = 0, int minute = 0,
                              int second = 0);
};

// Ten-thousandths, the unit Jet stores, so that no cent is lost on the way through a double.
struct Currency {
    std::int64_t tenThousandths = 0;
};

// Longer memos would need LVAL pages, which this writer does not produce.
inline constexpr std::size_t kMaxMemoChars = 1000;

class Value {
public:
    using Data =
        std::variant<std::monostate, std::int64_t, double, std::string, bool, DateTime, Currency>;

    Value() = default;
    static Value null() { return Value(); }

    template <std::integral T>
    requires(!std::same_as<T, bool> && (std::is_signed_v<T> || sizeof(T) < sizeof(std::int64_t)))
        Value(T v)
        : data_(static_cast<std::int64_t>(v)) {}
    Value(bool v) : data_(v) {}
    Value(double v) : data_(v) {}
    Value(const char* utf8) : data_(std::string(utf8)) {}
    Value(std::string utf8) : data_(std::move(utf8)) {}
    Value(DateTime v) : data_(v) {}
    Value(Currency v) : data_(v) {}

    bool isNull() const { return std::holds_alternative<std::monostate>(data_); }
    const Data& data() const { return data_; }
    const char* kindName() const;

private:
    Data data_;
};

namespace detail {

// Where a column's value sits in a row; decided once, when the table is defined.
struct ColumnLayout {
    std::uint16_t number = 0;      // bit in the null mask
    std::uint16_t varIndex = 0;    // slot in the variable-offset table
    std::uint16_t fixedOffset = 0; // position in the fixed area
    std::uint16_t length = 0;      // bytes in the fixed area, or declared bytes for text
    bool fixed = false;
};

// Rows encoded back to back: 200,000 small vectors would cost more than the data itself.
struct RowStore {
    std::vector<std::uint8_t> bytes;
    std::vector<std::size_t> ends;

    std::size_t size() const { return ends.size(); }
    std::size_t begin(std::size_t row) const { return row == 0 ? 0 : ends[row - 1]; }
    std::size_t length(std::size_t row) const { return ends[row] - begin(row); }
    void add(const std::vector<std::uint8_t>& row);
};

} // namespace detail

class Table {
public:
    // Throws std::invalid_argument for a definition Jet (or this writer) cannot hold.
    Table(std::string name, std::vector<Column> columns);

    const std::string& name() const { return name_; }
    const std::vector<Column>& columns() const { return columns_; }
    std::size_t rowCount() const { return rows_.size(); }

    // One value per column, in column order. Throws std::invalid_argument, naming the
    // table, row and column, when a value does not fit; the table is then unchanged.
    void addRow(const std::vector<Value>& values);

    const std::vector<detail::ColumnLayout>& layout() const { return layout_; }
    const detail::RowStore& rows() const { return rows_; }

private:
    std::string name_;
    std::vector<Column> columns_;
    std::vector<detail::ColumnLayout> layout_;
    detail::RowStore rows_;
};

class Database {
public:
    // The reference stays valid for the life of the Database. Throws
    // std::invalid_argument for a bad definition or a name already taken.
    Table& addTable(std::string name, std::vector<Column> columns);
    Table& addTable(Table table);
    const std::deque<Table>& tables() const { return tables_; }

    // Writes a temporary file next to `path` and renames it over `path`, so a reader
    // never sees a half-written database. Throws std::runtime_error on I/O failure.
    void write(const std::filesystem::path& path) const;

private:
    std::deque<Table> tables_;
};

} // namespace jetwriter
