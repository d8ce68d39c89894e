#pragma once

#include "database/Registros.h"
#include "platform/MotorBaseDatos.h"

#include <filesystem>
#include <memory>
#include <string_view>

namespace envio {

// An open database file. The engine is chosen by the file's contents, never by its name: Jet 3
// and Jet 4 files (read only) or SQLite files. Queries are the program's Jet SQL.
class BaseDatos {
public:
    // Opens the file shared. Throws ErrorBaseDatos naming the file when it is missing, empty,
    // truncated, damaged, locked, unreadable or of no format we know.
    static std::unique_ptr<BaseDatos> abrir(const std::filesystem::path& archivo);
    // Creates a new, empty SQLite database; throws ErrorBaseDatos.
    static std::unique_ptr<BaseDatos> crear(const std::filesystem::path& archivo);

    BaseDatos(std::filesystem::path archivo, std::unique_ptr<MotorBaseDatos> motor);

    [[nodiscard]] const std::filesystem::path& ruta() const { return archivo_; }

    // A SELECT; throws ErrorSql for a statement outside the program's SQL.
    Registros abrirRegistros(std::string_view sql);
    // A statement that returns no rows (DELETE * FROM ...).
    void ejecutar(std::string_view sql);
    void agregarRegistro(std::string_view tabla,
                         const std::vector<std::pair<std::string, Valor>>& campos);
    std::vector<std::string> tablas();
    void crearTabla(const DefinicionTabla& definicion);

private:
    std::filesystem::path archivo_;
    std::unique_ptr<MotorBaseDatos> motor_;
};

enum class FormatoBaseDatos { Desconocido, Jet, Sqlite };

// What the first bytes of a file say it is.
FormatoBaseDatos formatoDe(std::string_view cabecera);

} // namespace envio
