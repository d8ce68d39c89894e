#pragma once

// Tables from CSV text whose first line types the columns, e.g.
//   IDCLIENTE:long,nombre:text(50),CESE:datetime,importe:currency,activo:boolean,nota:memo
// Types: long, integer, byte, double, currency, datetime, boolean, text(N), memo.
// An empty unquoted field is NULL, "" is the empty text. Dates are YYYY-MM-DD or
// YYYY-MM-DD HH:MM:SS; booleans true/false/1/0; numbers use '.' for decimals.

#include "JetWriter.h"

#include <filesystem>
#include <string_view>
#include <vector>

namespace jetwriter {

// Throws std::invalid_argument for a field that is not "name:type".
Column parseColumnHeader(std::string_view field);

// Throws std::invalid_argument naming the line of the first bad record; `db` is
// unchanged then.
Table& addCsvTable(Database& db, std::string tableName, std::string_view csv);

// One table per file, named after the file's base name (CLIENTES.csv -> CLIENTES).
// Throws std::invalid_argument naming the file, or std::runtime_error if it cannot be read.
Database databaseFromCsvFiles(const std::vector<std::filesystem::path>& files);

} // namespace jetwriter
