#pragma once

#include "database/ErrorBaseDatos.h"
#include "database/Valor.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace envio {

// The few forms of Jet SQL that the program writes:
//   SELECT * | campo[, campo...] FROM tabla [WHERE c [AND c ...]] [ORDER BY campo [ASC|DESC]] [;]
//     where each c is `campo = número`, `campo = 'texto'` or `campo IS [NOT] NULL`
//   DELETE [*] FROM tabla [;]
// Keywords in any case; names bare or in brackets; '' inside a text literal is one quote.
// Anything else is refused with the statement quoted, never answered wrongly.
struct Condicion {
    std::string campo;
    enum class Operador { Igual, EsNulo, NoEsNulo } operador = Operador::Igual;
    Valor valor; // for Igual: a Texto or a Numero literal
};

struct Orden {
    std::string campo;
    bool descendente = false;
};

struct ConsultaSql {
    enum class Tipo { Seleccion, Borrado } tipo = Tipo::Seleccion;
    std::vector<std::string> campos; // empty: every field
    std::string tabla;
    std::vector<Condicion> condiciones;
    std::optional<Orden> orden;
};

class ErrorSql : public ErrorBaseDatos {
public:
    using ErrorBaseDatos::ErrorBaseDatos;
};

ConsultaSql analizarSql(std::string_view sql);

} // namespace envio
