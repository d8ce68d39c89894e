#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace envio {

// A message body stored as numbered keys (`Mensaje0`, `Mensaje1`, ...) of at most 200
// characters, with its line breaks as markers. Reading joins the chunks up to the first empty
// or missing one and only then decodes, so a marker cut by a chunk boundary still reads back.
std::string leerMensajeEnTrozos(const std::filesystem::path& archivo, std::string_view seccion,
                                std::string_view prefijo);

// Stores a body: encodes its line breaks, empties the old chunks up to the first empty one,
// writes the new chunks from `prefijo`0 on, then empties the stale ones that follow them up to
// the next gap, so a later read never joins an old tail onto the new body. A run of more than 100
// blanks is shortened to 100, since the file cannot hold a chunk of blanks alone. Returns false
// when a write failed.
bool escribirMensajeEnTrozos(const std::filesystem::path& archivo, std::string_view seccion,
                             std::string_view prefijo, const std::string& texto);

// Cuts an encoded body into chunks of at most 200 characters. A settings value comes back
// without blanks at its ends and without one pair of enclosing quotes, so no chunk may begin or
// end with what reading would drop; chunks may be shorter, since every reader just joins them.
std::vector<std::string> cortarEnTrozos(std::string_view codificado);

} // namespace envio
