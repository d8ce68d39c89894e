#include "TableDefinition.h"

#include "Ucs2.h"

#include <algorithm>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>

namespace jetwriter::detail {
namespace {

constexpr std::size_t kColumnsStart = 63; // no real indexes precede the descriptors
constexpr std::size_t kDescriptorSize = 25;
constexpr std::size_t kMaxNameChars = 64; // Access's limit for table and column names
// The null mask bit is read from a single byte of the descriptor.
constexpr std::size_t kMaxColumns = 255;
constexpr std::uint16_t kSortOrderGeneral = 0x0409;

// A fixed column's byte count, or a Text column's declared width in bytes.
std::uint16_t byteLength(const Column& column) {
    return column.type == ColumnType::Text ? static_cast<std::uint16_t>(2 * column.size)
                                           : typeInfo(column.type).fixedBytes;
}

std::size_t definitionSize(const std::vector<Column>& columns) {
    std::size_t size = kColumnsStart + kDescriptorSize * columns.size() + 2;
    for (const Column& column : columns)
        size += 2 + utf8ToUcs2Le(column.name).size();
    return size;
}

} // namespace

const TypeInfo& typeInfo(ColumnType type) {
    // In ColumnType's order.
    static constexpr TypeInfo kTypes[] = {
        {"Boolean", 0x01, 1, false},  {"Byte", 0x02, 1, false},     {"Integer", 0x03, 2, false},
        {"Long", 0x04, 4, false},     {"Currency", 0x05, 8, false}, {"Double", 0x07, 8, false},
        {"DateTime", 0x08, 8, false}, {"Text", 0x0A, 0, true},      {"Memo", 0x0C, 0, true}};
    static_assert(std::size(kTypes) == static_cast<std::size_t>(ColumnType::Memo) + 1);
    return kTypes[static_cast<std::size_t>(type)];
}

std::string asciiLower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

void checkObjectName(std::string_view name, const char* what) {
    if (name.empty())
        throw std::invalid_argument(std::string(what) + " without a name");
    const std::string quoted = std::string(what) + " \"" + std::string(name) + "\": ";
    std::size_t chars = 0;
    try {
        chars = utf8ToUcs2Le(name).size() / 2;
    } catch (const std::invalid_argument& e) {
        throw std::invalid_argument(quoted + e.what());
    }
    if (chars > kMaxNameChars)
        throw std::invalid_argument(quoted + "name longer than 64 characters");
}

std::vector<ColumnLayout> layoutColumns(const std::vector<Column>& columns) {
    if (columns.empty())
        throw std::invalid_argument("a table needs at least one column");
    if (columns.size() > kMaxColumns)
        throw std::invalid_argument("more than 255 columns");
    std::vector<ColumnLayout> layout;
    std::set<std::string> seen;
    std::uint16_t fixedOffset = 0;
    std::uint16_t varIndex = 0;
    for (const Column& column : columns) {
        checkObjectName(column.name, "column");
        if (!seen.insert(asciiLower(column.name)).second)
            throw std::invalid_argument("column \"" + column.name + "\" defined twice");
        if (column.type == ColumnType::Text && (column.size < 1 || column.size > 255))
            throw std::invalid_argument("Text column \"" + column.name +
                                        "\" needs a size of 1..255 characters, not " +
                                        std::to_string(column.size));
        ColumnLayout place;
        place.number = static_cast<std::uint16_t>(layout.size());
        place.length = byteLength(column);
        place.fixed = !typeInfo(column.type).variable;
        if (place.fixed) {
            place.fixedOffset = fixedOffset;
            if (column.type != ColumnType::Boolean)
                fixedOffset += place.length;
        } else {
            place.varIndex = varIndex++;
        }
        layout.push_back(place);
    }
    if (definitionSize(columns) > kPageSize)
        throw std::invalid_argument("column definitions do not fit one 4 KB page; use fewer "
                                    "columns or shorter names");
    return layout;
}

std::size_t fixedAreaSize(const std::vector<ColumnLayout>& layout) {
    std::size_t size = 0;
    for (const ColumnLayout& place : layout)
        if (place.fixed)
            size = std::max<std::size_t>(size, place.fixedOffset + place.length);
    return size;
}

Page tableDefinitionPage(const Table& table, bool system, std::uint32_t ownedMapRow,
                         std::uint32_t freeMapRow) {
    const auto& columns = table.columns();
    const auto& layout = table.layout();
    const auto variableCount =
        std::count_if(layout.begin(), layout.end(), [](const ColumnLayout& p) { return !p.fixed; });
    Page page{};
    std::uint8_t* p = page.data();
    p[0] = 0x02;
    p[1] = 0x01;
    put32(p + 16, table.rowCount());
    p[40] = system ? 0x53 : 0x4E;
    put16(p + 41, columns.size()); // max column number + 1; no column was ever deleted
    put16(p + 43, static_cast<std::uint64_t>(variableCount));
    put16(p + 45, columns.size());
    put32(p + 55, ownedMapRow);
    put32(p + 59, freeMapRow);

    std::size_t at = kColumnsStart;
    for (std::size_t i = 0; i < columns.size(); ++i, at += kDescriptorSize) {
        std::uint8_t* d = p + at;
        d[0] = typeInfo(columns[i].type).code;
        put16(d + 5, layout[i].number);
        put16(d + 7, layout[i].varIndex);
        put16(d + 9, layout[i].number);
        put16(d + 11, kSortOrderGeneral);
        d[15] = static_cast<std::uint8_t>((layout[i].fixed ? 0x01 : 0x00) | 0x02); // nullable
        put16(d + 21, layout[i].fixedOffset);
        put16(d + 23, layout[i].length);
    }
    for (const Column& column : columns) {
        const auto name = utf8ToUcs2Le(column.name);
        put16(p + at, name.size());
        std::copy(name.begin(), name.end(), p + at + 2);
        at += 2 + name.size();
    }
    put16(p + at, 0xFFFF); // ends the (empty) list of long-value columns
    at += 2;
    put32(p + 8, at - 8);
    put16(p + 2, kPageSize - at);
    return page;
}

} // namespace jetwriter::detail
