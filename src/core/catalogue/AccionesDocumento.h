#pragma once

#include "catalogue/ListaVista.h"
#include "platform/Shell.h"
#include "ui/Dialogos.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace envio {

// Lower-cases the caller's address and trims its blanks (in place, whatever the verdict), then
// checks its form by the program's ten rules.
bool CompruebaDireccionEMail(std::string& direccion);

// Asks, then deletes the files of the checked rows. Returns whether the list must be reloaded
// (always, unless the user said No). Files that cannot be deleted are reported in one box and
// the others are still deleted.
bool EliminarDocumentos(const ListaVista& lista, Dialogos& dialogos);

// Opens the current row's document with the desktop's program. The Linux desktop says nothing
// when it cannot open a file, so a failure is told through `dialogos`.
void VerDocumento(const ListaVista& lista, Shell& shell, const std::filesystem::path& carpeta,
                  Dialogos& dialogos);

// Marks the current row's document as sent ("ENVIADO": the name loses its last five characters
// and gains "_E.pdf") or pending ("PENDIENTE": "_P.pdf"), and updates the row's tag and icon.
// The file moves by one rename and never replaces another file; a name already taken, a file
// that vanished or a folder that refuses the move is reported through `dialogos`.
void MarcarDocumento(ListaVista& lista, std::string_view strMarca, Dialogos& dialogos);

} // namespace envio
