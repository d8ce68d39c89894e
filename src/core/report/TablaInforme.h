#pragma once

#include "platform/MotorSqlite.h"

#include <filesystem>
#include <memory>
#include <string>

namespace envio {

// A run's rows in the work table: emptied when the run starts, one row per message sent. Values
// longer than a field are shortened, never refused: the message already went out. The table is a
// report that every run rebuilds (the ledger is the record of truth), so its rows do not wait
// for the disk between one message and the next.
class TablaInforme {
public:
    // Opens the work database (always one of ours, SQLite) and empties the table. Throws
    // ErrorBaseDatos.
    explicit TablaInforme(const std::filesystem::path& baseDatos);

    void agregar(const std::string& campo1, const std::string& campo2, const std::string& campo3);
    [[nodiscard]] int filas() const { return filas_; }

private:
    std::unique_ptr<MotorSqlite> db_;
    int filas_ = 0;
};

} // namespace envio
