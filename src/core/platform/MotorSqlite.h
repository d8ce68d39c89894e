#pragma once

#include "platform/MotorBaseDatos.h"

#include <filesystem>

struct sqlite3;

namespace envio {

// SQLite files: the program's own work database, and accepted wherever the suite expects a
// database so that sites and tests can keep their data in SQLite.
class MotorSqlite : public MotorBaseDatos {
public:
    // Opens an existing file; with `crear`, creates it when missing. Throws ErrorBaseDatos.
    explicit MotorSqlite(const std::filesystem::path& archivo, bool crear = false);
    ~MotorSqlite() override;
    MotorSqlite(const MotorSqlite&) = delete;
    MotorSqlite& operator=(const MotorSqlite&) = delete;

    std::vector<std::string> tablas() override;
    TablaLeida leerTabla(std::string_view tabla, const std::vector<std::string>& campos) override;
    void borrarTodo(std::string_view tabla) override;
    void agregarRegistro(std::string_view tabla,
                         const std::vector<std::pair<std::string, Valor>>& campos) override;
    void crearTabla(const DefinicionTabla& definicion) override;

private:
    [[noreturn]] void fallo(const std::string& que) const;
    std::string nombreReal(std::string_view tabla);
    void ejecutar(const std::string& sql);

    std::filesystem::path archivo_;
    sqlite3* db_ = nullptr;
};

} // namespace envio
