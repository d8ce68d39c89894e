#pragma once

#include "database/TablaLeida.h"

#include <string>
#include <string_view>

namespace envio {

// A table as bytes and back, to carry it out of the child process that read it.
std::string serializarTabla(const TablaLeida& tabla);
// Throws ErrorBaseDatos when the bytes are not a whole table.
TablaLeida deserializarTabla(std::string_view bytes);

} // namespace envio
