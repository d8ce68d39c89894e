#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace envio {

// A message body stored as numbered keys (`Mensaje0`, `Mensaje1`, ...) of at most 200
// characters, with its line breaks as markers. Reading joins the chunks up to the first empty
// or missing one and only then decodes, so a marker cut by a chunk boundary still reads back.
std::string leerMensajeEnTrozos(const std::filesystem::path& archivo, std::string_view seccion,
                                std::string_view prefijo);

// Stores a body: encodes its line breaks, empties the old chunks up to the first empty one, then
// writes chunks of 200 characters from `prefijo`0 on. Returns false when a write failed.
bool escribirMensajeEnTrozos(const std::filesystem::path& archivo, std::string_view seccion,
                             std::string_view prefijo, const std::string& texto);

} // namespace envio
