#pragma once

#include "host/CarpetaPrograma.h"
#include "ledger/RegistroEnvios.h"
#include "ledger/Reservas.h"
#include "mail/ObservadorEnvio.h"
#include "platform/ConnectivityProbe.h"
#include "platform/MailTransport.h"
#include "platform/Reloj.h"
#include "report/VisorInforme.h"
#include "revision/ProteccionNominas.h"
#include "settings/ConfiguracionCorreo.h"
#include "ui/Dialogos.h"

#include <atomic>

namespace envio {

// What to do with documents that may already be with their recipients (sent before, or left
// without an answer by a run that stopped).
enum class ReenvioDudosos {
    Preguntar, // one question for all of them; No ends the run, as it always did
    Omitir,    // send the others and leave those for a person (unattended runs)
};

// Everything a sending run works with besides the rows.
struct EntornoEnvio {
    const ConfiguracionCorreo& correo;
    const CarpetaPrograma& carpeta;
    Dialogos& dialogos;
    ObservadorEnvio& observador;
    VisorInforme& visor;
    MailTransport& componente;
    ConnectivityProbe& sonda;
    RegistroEnvios& registro;
    Reservas& reservas;
    std::atomic<bool>& cancelar; // Esc; safe to set from another thread
    ReenvioDudosos dudosos = ReenvioDudosos::Preguntar;
    // Every wait of the run (the account's pace, a retry) passes on this clock; none: the
    // system's.
    const Reloj* reloj = nullptr;
    // Set when payroll documents go out protected with their employee's NIF.
    const ProteccionNominas* proteccion = nullptr;
};

} // namespace envio
