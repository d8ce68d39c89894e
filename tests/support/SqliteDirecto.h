#pragma once

// Tests look at a ledger as any other program would: straight through SQLite, past the class
// under test.
#include <filesystem>
#include <sqlite3.h>
#include <string>

namespace envio::test {

// The first column of the first row of `sql`, or -1 when it gives no row.
inline long long primerEntero(const std::filesystem::path& archivo, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open(archivo.c_str(), &db);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr);
    const long long n = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : -1;
    sqlite3_finalize(s);
    sqlite3_close(db);
    return n;
}

} // namespace envio::test
