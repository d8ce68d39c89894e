#pragma once

#include "catalogue/ListaVista.h"
#include "mail/MandarCorreos.h"
#include "mass/PlantillaAviso.h"

#include <vector>

namespace envio::masivo {

struct ResultadoAvisos {
    bool confirmado = false; // the user answered Yes to the opening question
    bool listaVacia = false;
    int enviados = 0;
    int noEnviados = 0;             // the server or the mail component refused the message
    int direccionesIncorrectas = 0; // failed the form check: in neither count of the summary
    bool cancelado = false;         // Esc stopped the run between two recipients
    bool salidaPorError = false;
    bool informeMostrado = false;
};

// Sends the notice, one message per checked row, to the row's address; the rows are read, never
// changed. Asks first, tells the user of each address it cannot use and of each refused message,
// shows the summary, records each message sent in the report work table and, when any went out,
// opens the report "Comunicaciones masivas". Every attempt goes into the ledger of the sending
// runs. Esc (`entorno.cancelar`, cleared when the run starts) is read before each row. May run on
// a worker thread: every box goes through `entorno.dialogos`.
ResultadoAvisos MandarAvisos(const std::vector<FilaLista>& filas, const PlantillaAviso& aviso,
                             EntornoEnvio& entorno);

// The ledger names a notice attempt by this text where a document run puts the file's path; no
// file has such a name, so the start-up's recovery never takes it for a document.
std::string documentoDeAviso(const FilaLista& fila);

} // namespace envio::masivo
