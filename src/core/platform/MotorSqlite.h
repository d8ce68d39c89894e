#pragma once

#include "platform/MotorBaseDatos.h"

#include <filesystem>
#include <optional>
#include <shared_mutex>
#include <utility>

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

    using Registro = std::vector<std::pair<std::string, Valor>>;
    // Rows of one table with the same fields, in one transaction: all of them or none.
    void agregarRegistros(std::string_view tabla, const std::vector<Registro>& registros);

    // From here on no write of this connection waits for the disk, and on a local disk they go
    // to a write-ahead log: a killed process loses none of them, a machine that stops may. For
    // a table that is rebuilt anyway (the work table), never for a record of truth.
    void escribirSinEsperarDisco();

private:
    using Identidad = std::pair<unsigned long long, unsigned long long>; // device, inode

    static sqlite3* conectar(const std::filesystem::path& archivo, bool crear);
    static std::optional<Identidad> identidadDe(const std::filesystem::path& archivo);
    void seguirAlArchivo();
    [[noreturn]] void fallo(const std::string& que) const;
    std::vector<std::string> listaTablas();
    std::string nombreReal(std::string_view tabla);
    void ejecutar(const std::string& sql);
    void aplicarEscrituraSinEspera();

    std::filesystem::path archivo_;
    // Readers share the connection (SQLite serializes them); only a reopen takes it alone.
    std::shared_mutex conexion_;
    sqlite3* db_ = nullptr;
    std::optional<Identidad> identidad_;
    bool sinEsperarDisco_ = false;
};

} // namespace envio
