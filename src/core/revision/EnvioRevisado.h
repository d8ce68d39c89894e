#pragma once

#include "host/ContextoAnfitrion.h"
#include "mail/EntornoEnvio.h"
#include "mail/MandarCorreos.h"
#include "revision/RevisionEnvio.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace envio {

// What a document run reads besides its rows and its settings: the PDF engine and the server's
// advertised SIZE, asked only when there is something to send.
struct MediosRevision {
    PdfEngine& pdf;
    std::function<std::optional<std::uintmax_t>()> tamanoServidor;
};

// The rules of this run's review: the mode, the protection and the size limit of the settings,
// the server's SIZE and what the ledger and the claims say about documents already sent.
ReglasRevision reglasDelEnvio(Modo modo, EntornoEnvio& entorno, const MediosRevision& medios);

// The review of the checked rows with this run's rules, as --revisar prints it.
std::vector<Hallazgo> revisarDocumentos(const std::vector<FilaLista>& filas, Modo modo,
                                        EntornoEnvio& entorno, const MediosRevision& medios);

// A document run with its review: every checked row is reviewed first; when something was
// found, the user sees it all at once (entorno.dialogos.revisar) and may untick rows or send
// nothing ("Volver"). Then the run sends what may be sent, as MandarCorreos does; a row that a
// finding blocks is painted red and counts as not sent, as a row without an address always
// has. In payroll mode with protection on, each document goes out as a copy protected with
// its employee's NIF, unless the employee is on the list of those who asked for none.
ResultadoEnvios EnviarRevisado(std::vector<FilaLista>& filas, Modo modo, EntornoEnvio& entorno,
                               const MediosRevision& medios);

} // namespace envio
