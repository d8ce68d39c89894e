#pragma once

#include "ledger/RegistroEnvios.h"
#include "ledger/Reservas.h"
#include "ui/Dialogos.h"

namespace envio {

// Finishes what a run that was killed left undone: a document that the server accepted but that
// still has its pending name gets its sent name now, provided the file under that name is still
// the one that was mailed (same contents). The user is told which documents were marked. One
// that the run renamed just before it stopped only gets the ledger's record of its sent name.
// Attempts cut off before the server's answer are left pending: nobody knows whether they went
// out, and the next run asks before mailing them again.
void recuperarEnviosInterrumpidos(RegistroEnvios& registro, Reservas& reservas, Dialogos& dialogos);

} // namespace envio
