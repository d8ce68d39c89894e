#include "TableDefinition.h"

#include "Ucs2.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <stdexcept>
#include <string>

namespace jetwriter::detail {
namespace {

constexpr std::size_t kColumnsStart = 63;  // no real indexes precede the descriptors
constexpr std::size_t kDescriptorSize = 25;
constexpr std::size_t kMaxNameChars = 64;  // Access's limit for table and column names
// The null mask bit is read from a single byte of the descriptor.
constexpr std::size_t kMaxColumns = 255;
constexpr std::uint16_t kSortOrderGeneral = 0x0409;

std::uint8_t typeCode(ColumnType type) {
    switch (type) {
        case ColumnType::Boolean: return 0x01;
        case ColumnType::Byte: return 0x02;
        case ColumnType::Integer: return 0x03;
        case ColumnType::Long: return 0x04;
        case ColumnType::Currency: return 0x05;
        case ColumnType::Double: return 0x07;
        case ColumnType::DateTime: return 0x08;
        case ColumnType::Text: return 0x0A;
        case ColumnType::Memo: return 0x0C;
    }
    throw std::invalid_argument("unknown column type");
}

// Bytes a value takes in the fixed area (Boolean lives only in the null mask),
// or the declared byte width of a Text column.
std::uint16_t byteLength(const Column& column) {
    switch (column.type) {
        case ColumnType::Boolean: return 1;
        case ColumnType::Byte: return 1;
        case ColumnType::Integer: return 2;
        case ColumnType::Long: return 4;
        case ColumnType::Currency:
        case ColumnType::Double:
        case ColumnType::DateTime: return 8;
        case ColumnType::Text: return static_cast<std::uint16_t>(2 * column.size);
        case ColumnType::Memo: return 0;
    }
    throw std::invalid_argument("unknown column type");
}

bool isVariable(ColumnType type) { return type == ColumnType::Text || type == ColumnType::Memo; }

// mdbtools matches names with an ASCII-only case fold, so duplicates are judged the same way.
std::string asciiLower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::size_t definitionSize(const std::vector<Column>& columns) {
    std::size_t size = kColumnsStart + kDescriptorSize * columns.size() + 2;
    for (const Column& column : columns) size += 2 + utf8ToUcs2Le(column.name).size();
    return size;
}

}  // namespace

void checkObjectName(std::string_view name, const char* what) {
    if (name.empty()) throw std::invalid_argument(std::string(what) + " without a name");
    const std::string quoted = std::string(what) + " \"" + std::string(name) + "\": ";
    std::size_t chars = 0;
    try {
        chars = utf8ToUcs2Le(name).size() / 2;
    } catch (const std::invalid_argument& e) {
        throw std::invalid_argument(quoted + e.what());
    }
    if (chars > kMaxNameChars) throw std::invalid_argument(quoted + "name longer than 64 characters");
}

std::vector<ColumnLayout> layoutColumns(const std::vector<Column>& columns) {
    if (columns.empty()) throw std::invalid_argument("a table needs at least one column");
    if (columns.size() > kMaxColumns) throw std::invalid_argument("more than 255 columns");
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
        place.fixed = !isVariable(column.type);
        if (place.fixed) {
            place.fixedOffset = fixedOffset;
            if (column.type != ColumnType::Boolean) fixedOffset += place.length;
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
        if (place.fixed) size = std::max<std::size_t>(size, place.fixedOffset + place.length);
    return size;
}

Page tableDefinitionPage(const Table& table, bool system, std::uint32_t ownedMapRow,
                         std::uint32_t freeMapRow) {
    const auto& columns = table.columns();
    const auto& layout = table.layout();
    const auto variableCount = std::count_if(layout.begin(), layout.end(),
                                             [](const ColumnLayout& p) { return !p.fixed; });
    Page page{};
    std::uint8_t* p = page.data();
    p[0] = 0x02;
    p[1] = 0x01;
    put32(p + 16, table.rowCount());
    p[40] = system ? 0x53 : 0x4E;
    put16(p + 41, columns.size());  // max column number + 1; no column was ever deleted
    put16(p + 43, static_cast<std::uint64_t>(variableCount));
    put16(p + 45, columns.size());
    put32(p + 55, ownedMapRow);
    put32(p + 59, freeMapRow);

    std::size_t at = kColumnsStart;
    for (std::size_t i = 0; i < columns.size(); ++i, at += kDescriptorSize) {
        std::uint8_t* d = p + at;
        d[0] = typeCode(columns[i].type);
        put16(d + 5, layout[i].number);
        put16(d + 7, layout[i].varIndex);
        put16(d + 9, layout[i].number);
        put16(d + 11, kSortOrderGeneral);
        d[15] = static_cast<std::uint8_t>((layout[i].fixed ? 0x01 : 0x00) | 0x02);  // nullable
        put16(d + 21, layout[i].fixedOffset);
        put16(d + 23, layout[i].length);
    }
    for (const Column& column : columns) {
        const auto name = utf8ToUcs2Le(column.name);
        put16(p + at, name.size());
        std::copy(name.begin(), name.end(), p + at + 2);
        at += 2 + name.size();
    }
    put16(p + at, 0xFFFF);  // ends the (empty) list of long-value columns
    at += 2;
    put32(p + 8, at - 8);
    put16(p + 2, kPageSize - at);
    return page;
}

}  // namespace jetwriter::detail
