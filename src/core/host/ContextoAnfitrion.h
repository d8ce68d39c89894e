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

// What the start-up learns from the suite and keeps until the program ends.
struct ContextoAnfitrion {
    CarpetaPrograma carpeta{"."};
    RutasAnfitrion rutas; // how the paths of KRN.INI were mapped to this machine
    Modo modo = Modo::Facturas;
    std::filesystem::path rutaDocumentos; // the documents folder
    std::filesystem::path rutaBaseDatos;
    std::shared_ptr<BaseDatos> dbPrincipal;
    std::shared_ptr<BaseDatos> dbAlternativa; // none when not configured or missing
    OrigenAlternativo alternativo;
    std::vector<std::string> tipos;   // the type selector's entries; the first is selected
    std::array<std::string, 5> anios; // year tab captions, this year first
    int mesActual = 1;                // 1..12
    ConfiguracionCorreo correo;
    ResultadoPreparacion baseTrabajo;
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
