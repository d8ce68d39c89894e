#include "RowEncoding.h"

#include "Bytes.h"
#include "TableDefinition.h"
#include "Ucs2.h"

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

namespace jetwriter::detail {
namespace {

[[noreturn]] void reject(const Column& column, const std::string& why) {
    throw std::invalid_argument("column \"" + column.name + "\": " + why);
}

[[noreturn]] void wrongKind(const Column& column, const Value& value) {
    reject(column,
           std::string(typeInfo(column.type).name) + " column cannot take " + value.kindName());
}

std::int64_t integerWithin(const Column& column, const Value& value, std::int64_t low,
                           std::int64_t high) {
    const auto* number = std::get_if<std::int64_t>(&value.data());
    if (number == nullptr)
        wrongKind(column, value);
    if (*number < low || *number > high)
        reject(column, std::to_string(*number) + " is outside the " + typeInfo(column.type).name +
                           " range " + std::to_string(low) + ".." + std::to_string(high));
    return *number;
}

std::int64_t currencyUnits(const Column& column, const Value& value) {
    constexpr std::int64_t kMaxWhole = std::numeric_limits<std::int64_t>::max() / 10000;
    const Value::Data& data = value.data();
    if (const auto* amount = std::get_if<Currency>(&data))
        return amount->tenThousandths;
    if (const auto* whole = std::get_if<std::int64_t>(&data)) {
        if (*whole > kMaxWhole || *whole < -kMaxWhole)
            reject(column, "amount out of range");
        return *whole * 10000;
    }
    if (const auto* real = std::get_if<double>(&data)) {
        const double scaled = std::round(*real * 10000);
        if (!(std::fabs(scaled) < 9.2e18))
            reject(column, "amount out of range");
        return static_cast<std::int64_t>(scaled);
    }
    wrongKind(column, value);
}

double realNumber(const Column& column, const Value& value) {
    if (const auto* real = std::get_if<double>(&value.data()))
        return *real;
    if (const auto* whole = std::get_if<std::int64_t>(&value.data()))
        return static_cast<double>(*whole);
    wrongKind(column, value);
}

void putFixed(std::uint8_t* at, const Column& column, const Value& value) {
    switch (column.type) {
    case ColumnType::Byte:
        at[0] = static_cast<std::uint8_t>(integerWithin(column, value, 0, 255));
        return;
    case ColumnType::Integer:
        put16(at, static_cast<std::uint64_t>(integerWithin(column, value, -32768, 32767)));
        return;
    case ColumnType::Long:
        put32(at, static_cast<std::uint64_t>(
                      integerWithin(column, value, std::numeric_limits<std::int32_t>::min(),
                                    std::numeric_limits<std::int32_t>::max())));
        return;
    case ColumnType::Currency:
        putLE(at, static_cast<std::uint64_t>(currencyUnits(column, value)), 8);
        return;
    case ColumnType::Double:
        putDouble(at, realNumber(column, value));
        return;
    case ColumnType::DateTime:
        if (const auto* date = std::get_if<DateTime>(&value.data()))
            return putDouble(at, date->days);
        wrongKind(column, value);
    default:
        throw std::logic_error("not a fixed-length column");
    }
}

std::vector<std::uint8_t> textBytes(const Column& column, const Value& value,
                                    std::size_t maxChars) {
    const auto* text = std::get_if<std::string>(&value.data());
    if (text == nullptr)
        wrongKind(column, value);
    std::vector<std::uint8_t> ucs2;
    try {
        ucs2 = utf8ToUcs2Le(*text);
    } catch (const std::invalid_argument& e) {
        reject(column, e.what());
    }
    if (ucs2.size() / 2 > maxChars)
        reject(column, "text of " + std::to_string(ucs2.size() / 2) +
                           " characters is longer than the limit of " + std::to_string(maxChars));
    if (ucs2.size() >= 2 && ucs2[0] == 0xFF && ucs2[1] == 0xFE)
        reject(column, "text may not begin with U+FEFF: Jet takes those bytes for its "
                       "compressed-text marker");
    return ucs2;
}

std::vector<std::uint8_t> variableBytes(const Column& column, const Value& value) {
    if (column.type == ColumnType::Text)
        return textBytes(column, value, static_cast<std::size_t>(column.size));
    const auto text = textBytes(column, value, kMaxMemoChars);
    std::vector<std::uint8_t> memo;
    append32(memo, text.size() | 0x80000000u); // the high bit says "stored inline"
    append32(memo, 0);                         // no LVAL page
    append32(memo, 0);
    memo.insert(memo.end(), text.begin(), text.end());
    return memo;
}

// Jet has no NULL booleans: the null-mask bit is the value itself.
bool booleanValue(const Column& column, const Value& value) {
    if (value.isNull())
        reject(column, "a Boolean column cannot be NULL");
    if (const auto* flag = std::get_if<bool>(&value.data()))
        return *flag;
    wrongKind(column, value);
}

} // namespace

std::vector<std::uint8_t> encodeRow(const std::vector<Column>& columns,
                                    const std::vector<ColumnLayout>& layout,
                                    const std::vector<Value>& values) {
    if (values.size() != columns.size())
        throw std::invalid_argument("expected " + std::to_string(columns.size()) + " values, got " +
                                    std::to_string(values.size()));
    // NULL fixed values keep their (zero) bytes.
    std::vector<std::uint8_t> row(2 + fixedAreaSize(layout), 0);
    put16(row.data(), columns.size());
    std::vector<std::uint8_t> nullMask((columns.size() + 7) / 8, 0);
    std::vector<std::size_t> variableStarts;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const Column& column = columns[i];
        const ColumnLayout& place = layout[i];
        const auto markPresent = [&] {
            nullMask[place.number / 8] |= static_cast<std::uint8_t>(1u << (place.number % 8));
        };
        if (column.type == ColumnType::Boolean) {
            if (booleanValue(column, values[i]))
                markPresent();
            continue;
        }
        // Variable columns are numbered in declaration order, so appending keeps var-index order.
        if (!place.fixed)
            variableStarts.push_back(row.size());
        if (values[i].isNull())
            continue;
        markPresent();
        if (place.fixed) {
            putFixed(row.data() + 2 + place.fixedOffset, column, values[i]);
        } else {
            const auto bytes = variableBytes(column, values[i]);
            row.insert(row.end(), bytes.begin(), bytes.end());
        }
    }
    if (!variableStarts.empty()) {
        append16(row, row.size()); // end of the variable data
        for (auto start = variableStarts.rbegin(); start != variableStarts.rend(); ++start)
            append16(row, *start);
        append16(row, variableStarts.size());
    }
    row.insert(row.end(), nullMask.begin(), nullMask.end());
    if (row.size() > kMaxRowSize)
        throw std::invalid_argument("row of " + std::to_string(row.size()) +
                                    " bytes is longer than Jet's limit of " +
                                    std::to_string(kMaxRowSize));
    return row;
}

} // namespace jetwriter::detail
