#pragma once

#include "catalogue/ListaVista.h"
#include "host/CarpetaPrograma.h"
#include "mail/ObservadorEnvio.h"
#include "platform/ConnectivityProbe.h"
#include "platform/MailTransport.h"
#include "platform/RegistroEnvios.h"
#include "report/VisorInforme.h"
#include "settings/ConfiguracionCorreo.h"
#include "ui/Dialogos.h"

#include <atomic>
#include <vector>

namespace envio {

// Everything a document sending run works with besides the rows.
struct EntornoEnvio {
    const ConfiguracionCorreo& correo;
    const CarpetaPrograma& carpeta;
    Dialogos& dialogos;
    ObservadorEnvio& observador;
    VisorInforme& visor;
    MailTransport& componente;
    ConnectivityProbe& sonda;
    RegistroEnvios& registro;
    std::atomic<bool>& cancelar; // Esc; safe to set from another thread
};

struct ResultadoEnvios {
    int enviados = 0;
    int fallidos = 0;       // refused or failed: the row is red
    bool declinado = false; // the user did not want to resend
    bool cancelado = false;
    bool salidaPorError = false;
    // Checked rows that were not sent (declined, cancelled, failed, or not reached).
    int noEnviados = 0;
};

// Mails every checked row's document to its address, one message each, renames each sent file
// to its sent name, records each in the report work table and, when any went out, opens the
// report. Every attempt goes into the ledger before, during and after the send, so that a run
// killed at any moment leaves each document present once and never mails it again unasked.
// May run on a worker thread: questions and boxes go through `entorno.dialogos`.
ResultadoEnvios MandarCorreos(std::vector<FilaLista>& filas, EntornoEnvio& entorno);

// The name a sent document takes: its path without the last three characters ("pdf"), then
// "ENVIADO.PDF".
std::filesystem::path rutaEnviada(const std::string& etiqueta);

} // namespace envio
