#pragma once

// One row in the Jet 4 layout that libmdb's row cracker expects.

#include "JetWriter.h"

#include <cstdint>
#include <vector>

namespace jetwriter::detail {

// The largest row a Jet 4 data page accepts.
inline constexpr std::size_t kMaxRowSize = 4060;

// Throws std::invalid_argument naming the column when a value does not fit it,
// or when the whole row is longer than kMaxRowSize.
std::vector<std::uint8_t> encodeRow(const std::vector<Column>& columns,
                                    const std::vector<ColumnLayout>& layout,
                                    const std::vector<Value>& values);

} // namespace jetwriter::detail
