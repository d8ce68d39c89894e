#pragma once

#include "catalogue/ListaVista.h"
#include "host/ContextoAnfitrion.h"
#include "platform/PdfEngine.h"
#include "revision/Hallazgo.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace envio {

struct ReglasRevision {
    Modo modo = Modo::Facturas;
    bool protegerConNif = false;
    std::uintmax_t limiteUsuario = 0;             // bytes; 0 for none
    std::optional<std::uintmax_t> limiteServidor; // the server's SIZE, when it tells one
    // Why a row may already be with its recipient (sent, or possibly sent), if it may.
    std::function<std::optional<std::string>(const FilaLista&)> yaEnviado;
    unsigned hilos = 0; // 0: one per processor
};

// The findings about the checked rows, in row order and, within a row, blocking ones first.
// The files are read on several threads; each document's PDF is opened once.
std::vector<Hallazgo> revisarEnvio(const std::vector<FilaLista>& filas,
                                   const ReglasRevision& reglas, PdfEngine& pdf);

// The rows that a blocking finding keeps from being sent.
std::vector<bool> filasBloqueadas(const std::vector<Hallazgo>& hallazgos, std::size_t filas);

// One finding as a tab-separated line: file name, recipient, finding, "bloquea" or "aviso".
std::string lineaHallazgo(const Hallazgo& hallazgo);

} // namespace envio
