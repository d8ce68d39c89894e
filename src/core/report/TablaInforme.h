#pragma once

#include "platform/MotorSqlite.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace envio {

// A run's rows in the work table: emptied when the run starts, one row per message sent. Values
// longer than a field are shortened, never refused: the message already went out. The table is a
// report that every run rebuilds (the ledger is the record of truth), so its rows are written a
// batch at a time, without waiting for the disk: a run killed half-way loses at most the last
// batch of a report it would not have shown.
class TablaInforme {
public:
    // Rows held before they are written together.
    static constexpr std::size_t kLote = 64;

    // Opens the work database (always one of ours, SQLite) and empties the table. Throws
    // ErrorBaseDatos.
    explicit TablaInforme(const std::filesystem::path& baseDatos);
    // Writes what is still held; a failure here is left to the report, which then lacks rows.
    ~TablaInforme();
    TablaInforme(const TablaInforme&) = delete;
    TablaInforme& operator=(const TablaInforme&) = delete;

    // A document's row: the recipient, the address and the file.
    void agregar(const std::string& campo1, const std::string& campo2, const std::string& campo3);
    // A notice's row: the recipient and the address; its third field stays empty (NULL).
    void agregar(const std::string& campo1, const std::string& campo2);
    // Every row in the table before the report reads it. Throws ErrorBaseDatos.
    void guardar();
    [[nodiscard]] int filas() const { return filas_; }

private:
    void anadir(MotorSqlite::Registro fila);

    std::unique_ptr<MotorSqlite> db_;
    std::vector<MotorSqlite::Registro> pendientes_;
    int filas_ = 0;
};

} // namespace envio
