#pragma once

#include "JetWriter.h"

#include <cstdio>
#include <deque>

namespace jetwriter::detail {

// Lays out the whole file (header, catalogue, tables, usage maps) and writes every
// page to `out` in order. Throws std::runtime_error when a write fails.
void writeDatabase(const std::deque<Table>& tables, std::FILE* out);

} // namespace jetwriter::detail
