#pragma once

#include "settings/ConfiguracionCorreo.h"
#include "ui/Dialogos.h"

#include <filesystem>
#include <string>

namespace envio::masivo {

// The notice as the user last wrote it, kept in the settings file between uses of the window.
struct PlantillaAviso {
    std::string asunto;
    std::string mensaje;       // with its line breaks, as typed
    bool confirmacion = false; // ask for a read receipt

    bool operator==(const PlantillaAviso&) const = default;
};

// Reads the subject, the message (its chunks joined up to the first empty one, then decoded) and
// the read-receipt switch (checked only when the stored number rounds to 1).
PlantillaAviso CargarPlantillaAviso(const std::filesystem::path& krn);

// Stores the template: the subject, the message in chunks of at most 200 characters (the old
// chunks emptied up to the first empty one), the read-receipt switch as "0" or "1" and the engine
// key "MAPI", which the suite's other programs expect beside it. Then reloads the mail settings
// into `correo`, since the template windows share one reload point. Returns false when a write
// failed (the rest is still written).
bool GuardaDatos(const std::filesystem::path& krn, const PlantillaAviso& plantilla,
                 ConfiguracionCorreo& correo);

// GuardaDatos for the window, which saves on sending and on closing: a failed write is told, so
// that the user knows the notice will not be there next time.
bool guardarPlantilla(const std::filesystem::path& krn, const PlantillaAviso& plantilla,
                      ConfiguracionCorreo& correo, Dialogos& dialogos);

} // namespace envio::masivo
