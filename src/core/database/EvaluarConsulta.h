#pragma once

#include "database/ConsultaSql.h"
#include "database/TablaLeida.h"

namespace envio {

// The fields a SELECT needs from its table (for its fields, conditions and order); empty when
// it needs them all.
std::vector<std::string> camposNecesarios(const ConsultaSql& consulta);

// Answers a SELECT over the rows of its table with Jet's rules: names and texts compared without
// regard to case, numbers as numbers, null equal to nothing, rows kept in the table's order
// unless ORDER BY sorts them (nulls first, stable). Throws ErrorSql for an unknown field.
// The table is taken by value so that the rows of the answer can be moved out of it.
TablaLeida evaluarConsulta(const ConsultaSql& consulta, TablaLeida tabla);

} // namespace envio
