#pragma once

#include "database/ErrorBaseDatos.h"
#include "database/TablaLeida.h"

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace envio {

struct DefinicionCampo {
    std::string nombre;
    enum class Tipo { EnteroAutonumerico, Texto } tipo = Tipo::Texto;
    int tamano = 0; // characters, for Texto
};

struct DefinicionTabla {
    std::string nombre;
    std::vector<DefinicionCampo> campos;
};

// What the program needs from a database file: its tables, whole-table reads, and the few
// writes of the work table. The SQL itself is answered above this, the same way for every engine.
class MotorBaseDatos {
public:
    virtual ~MotorBaseDatos() = default;

    // Every table definition in the engine's order, system tables included.
    virtual std::vector<std::string> tablas() = 0;
    // The rows of `tabla` (found without regard to case) with the named fields, or all of them
    // when `campos` is empty. Throws ErrorBaseDatos when the table does not exist.
    virtual TablaLeida leerTabla(std::string_view tabla,
                                 const std::vector<std::string>& campos) = 0;
    virtual void borrarTodo(std::string_view tabla) = 0;
    virtual void agregarRegistro(std::string_view tabla,
                                 const std::vector<std::pair<std::string, Valor>>& campos) = 0;
    virtual void crearTabla(const DefinicionTabla& definicion) = 0;
};

} // namespace envio
