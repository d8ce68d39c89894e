#pragma once

#include "catalogue/ListaVista.h"
#include "mail/EntornoEnvio.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace envio {

struct ResultadoEnvios {
    int enviados = 0;
    int fallidos = 0;       // refused or failed: the row is red
    bool declinado = false; // the user did not want to resend
    bool cancelado = false;
    bool salidaPorError = false;
    // Checked rows that were not sent (declined, cancelled, failed, skipped or not reached).
    int noEnviados = 0;
    // "name: who holds it since when": documents another run was working on, left to it.
    std::vector<std::string> ocupados;
    // "name: why": documents that may already be with their recipients, left for a person.
    std::vector<std::string> dudososOmitidos;
    // The account's daily cap stopped the run: how many checked documents it left, and when one
    // more message may go. A later run picks them up: they are still pending.
    int pendientesPorTope = 0;
    std::optional<std::chrono::system_clock::time_point> reanudar;
};

// Mails every checked row's document to its address, one message each, renames each sent file
// to its sent name, records each in the report work table and, when any went out, opens the
// report. Each document goes through the one attempt path (IntentoEnvio): claimed, recorded,
// sent, recorded, renamed, released; so a run killed at any moment leaves each document present
// once and never mails it again unasked, and two runs never mail the same document.
// May run on a worker thread: questions and boxes go through `entorno.dialogos`.
ResultadoEnvios MandarCorreos(std::vector<FilaLista>& filas, EntornoEnvio& entorno);

class DocumentosDudosos;

// Why a checked row may already be with its recipient: it shows the sent icon, a run left it in
// doubt, or the ledger says this very file (same path, same contents) went out.
std::optional<std::string> motivoYaEnviado(const FilaLista& fila, const DocumentosDudosos& dudosos,
                                           Reservas& reservas, RegistroEnvios& registro);

// The name a sent document takes: its path without the last three characters ("pdf"), then
// "ENVIADO.PDF".
std::filesystem::path rutaEnviada(const std::string& etiqueta);

} // namespace envio
