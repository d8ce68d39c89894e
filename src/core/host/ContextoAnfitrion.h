#pragma once

#include "database/BaseDatos.h"
#include "host/CarpetaPrograma.h"
#include "host/RutasAnfitrion.h"
#include "platform/Reloj.h"
#include "report/TablaTrabajo.h"
#include "settings/ConfiguracionCorreo.h"
#include "ui/Dialogos.h"

#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace envio {

enum class Modo { Facturas, Nomina };

inline constexpr std::string_view kTipoFacturas = "FACTURAS";

// The suite's optional second database with alternative e-mail addresses, and where in it the
// tax number, the address and the name stand.
struct OrigenAlternativo {
    std::string baseOrigen;
    std::string tablaOrigen;
    std::string nifCampo;
    std::string emailCampo;
    std::string nombreCampo;
};

// What the start-up learns from the suite, in the order the program uses it:
//  - where things are: the program folder and how the suite's Windows paths map to this machine;
//  - the suite as found: its mode, the documents folder, its database and the alternative source
//    of addresses with its database when that is readable;
//  - what the main list opens on: the types, the year tabs, the month.
// All of that is fixed once `iniciarContexto` returns and only read afterwards. The one part that
// changes while the program runs is the mail settings, which the settings windows save to
// KRN.INI: they are read through `correo()` and change only through the two operations below, so
// a run never starts with settings other than those the user last saved.
class ContextoAnfitrion {
public:
    CarpetaPrograma carpeta{"."};
    RutasAnfitrion rutas;

    Modo modo = Modo::Facturas;
    std::filesystem::path rutaDocumentos;
    std::filesystem::path rutaBaseDatos;
    std::shared_ptr<BaseDatos> dbPrincipal;
    OrigenAlternativo alternativo;
    std::shared_ptr<BaseDatos> dbAlternativa; // none when not configured, missing or unreadable

    std::vector<std::string> tipos;   // the type selector's entries; the first is selected
    std::array<std::string, 5> anios; // year tab captions, this year first
    int mesActual = 1;                // 1..12

    [[nodiscard]] const ConfiguracionCorreo& correo() const { return correo_; }
    // As read from the settings file: at start, and as a window saved and read them back.
    void usarCorreo(ConfiguracionCorreo correo) { correo_ = std::move(correo); }

private:
    ConfiguracionCorreo correo_;
};

// The start-up: reads the suite's keys, decides the mode, finds the documents folder and opens
// the suite's databases, prepares the work database and loads the mail settings. Tells the user
// through `dialogos` what stops it; nothing comes back when the program must end.
std::optional<ContextoAnfitrion> iniciarContexto(const CarpetaPrograma& carpeta, Dialogos& dialogos,
                                                 const Reloj& reloj);

// One path of KRN.INI on this machine, mapped as RutasAnfitrion does (a Windows path that
// cannot be mapped comes back as written).
std::filesystem::path rutaDelAnfitrion(const CarpetaPrograma& carpeta, std::string_view texto);

} // namespace envio
