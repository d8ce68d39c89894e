#pragma once

#include "database/TablaLeida.h"

namespace envio {

// A record set: the rows of a query with a cursor, as the program walks them (first, next, end
// test, a field by name without regard to case or by position).
class Registros {
public:
    explicit Registros(TablaLeida tabla) : tabla_(std::move(tabla)) {}

    [[nodiscard]] bool vacio() const { return tabla_.filas.empty(); }
    [[nodiscard]] bool fin() const { return actual_ >= tabla_.filas.size(); }
    void primero() { actual_ = 0; }
    void siguiente() {
        if (!fin()) {
            ++actual_;
        }
    }
    [[nodiscard]] std::size_t cantidad() const { return tabla_.filas.size(); }

    // Throws ErrorBaseDatos for an unknown field or when the cursor is past the end.
    [[nodiscard]] const Valor& campo(std::string_view nombre) const;
    [[nodiscard]] const Valor& campo(std::size_t posicion) const;

    [[nodiscard]] const TablaLeida& tabla() const { return tabla_; }

private:
    TablaLeida tabla_;
    std::size_t actual_ = 0;
};

} // namespace envio
