#include "CsvImport.h"

#include "CsvReader.h"
#include "TableDefinition.h"

#include <charconv>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <stdexcept>

namespace jetwriter {
namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

[[noreturn]] void notA(std::string_view text, const char* what) {
    throw std::invalid_argument("\"" + std::string(text) + "\" is not " + what);
}

// The whole of `text` must be the number; from_chars ignores the locale, as CSV must.
template <typename Number> bool parseWhole(std::string_view text, Number& out) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

std::int64_t parseInteger(std::string_view text) {
    std::int64_t value = 0;
    if (!parseWhole(text, value))
        notA(text, "a whole number");
    return value;
}

double parseDouble(std::string_view text) {
    double value = 0;
    if (!parseWhole(text, value))
        notA(text, "a number");
    return value;
}

bool isDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// Exact decimal arithmetic: "0.1" must become 1000 ten-thousandths, not 999.
Currency parseCurrency(std::string_view text) {
    constexpr std::int64_t kMaxWhole = std::numeric_limits<std::int64_t>::max() / 10000 - 1;
    const bool negative = text.starts_with('-');
    const std::string_view unsignedText = negative ? text.substr(1) : text;
    const std::size_t dot = unsignedText.find('.');
    const std::string_view whole = unsignedText.substr(0, dot);
    const std::string_view decimals =
        dot == std::string_view::npos ? std::string_view() : unsignedText.substr(dot + 1);
    std::int64_t units = 0;
    std::int64_t fraction = 0;
    if (!isDigits(whole) || !parseWhole(whole, units) || units > kMaxWhole ||
        (dot != std::string_view::npos &&
         (!isDigits(decimals) || decimals.size() > 4 || !parseWhole(decimals, fraction))))
        notA(text, "an amount (digits, then up to 4 decimals after a '.')");
    for (std::size_t i = decimals.size(); i < 4; ++i)
        fraction *= 10;
    const std::int64_t amount = units * 10000 + fraction;
    return Currency{negative ? -amount : amount};
}

int digitsAt(std::string_view text, std::size_t at, std::size_t count) {
    const std::string_view digits = text.substr(at, count);
    int value = 0;
    if (digits.size() != count || !isDigits(digits) || !parseWhole(digits, value))
        notA(text, "a date (YYYY-MM-DD or YYYY-MM-DD HH:MM:SS)");
    return value;
}

DateTime parseDate(std::string_view text) {
    const bool withTime =
        text.size() == 19 && text[10] == ' ' && text[13] == ':' && text[16] == ':';
    if ((text.size() != 10 && !withTime) || text[4] != '-' || text[7] != '-')
        notA(text, "a date (YYYY-MM-DD or YYYY-MM-DD HH:MM:SS)");
    return DateTime::fromCivil(digitsAt(text, 0, 4), digitsAt(text, 5, 2), digitsAt(text, 8, 2),
                               withTime ? digitsAt(text, 11, 2) : 0,
                               withTime ? digitsAt(text, 14, 2) : 0,
                               withTime ? digitsAt(text, 17, 2) : 0);
}

bool parseBoolean(std::string_view text) {
    const std::string word = detail::asciiLower(text);
    if (word == "true" || word == "1")
        return true;
    if (word == "false" || word == "0")
        return false;
    notA(text, "a boolean (true, false, 1 or 0)");
}

Value toValue(const Column& column, const CsvField& field) {
    if (!field.quoted && field.text.empty())
        return Value::null();
    try {
        switch (column.type) {
        case ColumnType::Text:
        case ColumnType::Memo:
            return Value(field.text);
        case ColumnType::Long:
        case ColumnType::Integer:
        case ColumnType::Byte:
            return Value(parseInteger(field.text));
        case ColumnType::Double:
            return Value(parseDouble(field.text));
        case ColumnType::Currency:
            return Value(parseCurrency(field.text));
        case ColumnType::DateTime:
            return Value(parseDate(field.text));
        case ColumnType::Boolean:
            return Value(parseBoolean(field.text));
        }
    } catch (const std::invalid_argument& e) {
        throw std::invalid_argument("column \"" + column.name + "\": " + e.what());
    }
    throw std::logic_error("unknown column type");
}

} // namespace

Column parseColumnHeader(std::string_view field) {
    static const std::map<std::string, ColumnType, std::less<>> kTypes = {
        {"long", ColumnType::Long},         {"integer", ColumnType::Integer},
        {"byte", ColumnType::Byte},         {"double", ColumnType::Double},
        {"currency", ColumnType::Currency}, {"datetime", ColumnType::DateTime},
        {"boolean", ColumnType::Boolean},   {"memo", ColumnType::Memo}};
    const std::size_t colon = field.rfind(':');
    if (colon == std::string_view::npos)
        throw std::invalid_argument("header field \"" + std::string(field) + "\" is not name:type");
    const std::string name(trim(field.substr(0, colon)));
    const std::string type = detail::asciiLower(trim(field.substr(colon + 1)));
    if (const auto found = kTypes.find(type); found != kTypes.end())
        return Column{name, found->second};
    int size = 0;
    if (type.starts_with("text(") && type.ends_with(')') &&
        parseWhole(std::string_view(type).substr(5, type.size() - 6), size))
        return Column{name, ColumnType::Text, size};
    throw std::invalid_argument("column \"" + name + "\": unknown type \"" + type +
                                "\" (long, integer, byte, double, currency, datetime, boolean, "
                                "text(N) or memo)");
}

Table& addCsvTable(Database& db, std::string tableName, std::string_view csv) {
    CsvReader reader(csv);
    std::vector<CsvField> record;
    if (!reader.next(record))
        throw std::invalid_argument("no header line");
    std::vector<Column> columns;
    for (const CsvField& field : record) {
        try {
            columns.push_back(parseColumnHeader(field.text));
        } catch (const std::invalid_argument& e) {
            throw std::invalid_argument(std::string("header: ") + e.what());
        }
    }
    Table table(std::move(tableName), columns);
    std::vector<Value> values;
    while (reader.next(record)) {
        try {
            if (record.size() != columns.size())
                throw std::invalid_argument("expected " + std::to_string(columns.size()) +
                                            " fields, found " + std::to_string(record.size()));
            values.clear();
            for (std::size_t i = 0; i < columns.size(); ++i)
                values.push_back(toValue(columns[i], record[i]));
            table.addRow(values);
        } catch (const std::invalid_argument& e) {
            throw std::invalid_argument("line " + std::to_string(reader.recordLine()) + ": " +
                                        e.what());
        }
    }
    return db.addTable(std::move(table));
}

Database databaseFromCsvFiles(const std::vector<std::filesystem::path>& files) {
    Database db;
    for (const std::filesystem::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        if (!in)
            throw std::runtime_error("cannot open " + file.string());
        const std::string text((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
        if (in.bad())
            throw std::runtime_error("cannot read " + file.string());
        try {
            addCsvTable(db, file.stem().string(), text);
        } catch (const std::invalid_argument& e) {
            throw std::invalid_argument(file.string() + ": " + e.what());
        }
    }
    return db;
}

} // namespace jetwriter
