#pragma once

// The table definition (TDEF) page and the column layout it announces.

#include "Bytes.h"
#include "JetWriter.h"

#include <string>
#include <string_view>

namespace jetwriter::detail {

struct TypeInfo {
    const char* name;
    std::uint8_t code;        // the type byte of a column descriptor
    std::uint16_t fixedBytes; // a fixed value's bytes; Boolean's 1 is nominal: it lives in
                              // the null mask and takes no row bytes
    bool variable;            // stored in the variable area instead
};
const TypeInfo& typeInfo(ColumnType type);

// mdbtools matches names with an ASCII-only case fold, so duplicates are judged the same way.
std::string asciiLower(std::string_view s);

// Throws std::invalid_argument for an empty, overlong or non-UCS-2 object name.
void checkObjectName(std::string_view name, const char* what);

// Validates the columns and places them: fixed columns one after another in
// declaration order, variable columns numbered in the same order.
std::vector<ColumnLayout> layoutColumns(const std::vector<Column>& columns);

std::size_t fixedAreaSize(const std::vector<ColumnLayout>& layout);

// `ownedMapRow` and `freeMapRow` are pg_row pointers (page << 8 | row) to usage maps.
Page tableDefinitionPage(const Table& table, bool system, std::uint32_t ownedMapRow,
                         std::uint32_t freeMapRow);

} // namespace jetwriter::detail
