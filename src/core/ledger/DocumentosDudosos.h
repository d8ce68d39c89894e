#pragma once

#include "ledger/RegistroEnvios.h"
#include "ledger/Reservas.h"

#include <map>
#include <optional>
#include <set>
#include <string>

namespace envio {

// The documents that keep their pending name but may already be with their recipients, read
// once from this machine's ledger and from every machine's claims.
class DocumentosDudosos {
public:
    DocumentosDudosos(RegistroEnvios& registro, const Reservas& reservas);

    // Why the document at this path may have gone out already (when, to whom, what the server
    // said), in the user's words; nothing when no run left it in doubt.
    [[nodiscard]] std::optional<std::string> motivo(const std::string& documento) const;
    // True when a run (of any machine) holds the document's claim right now: whatever the
    // ledger says, that run is settling it.
    [[nodiscard]] bool enCurso(const std::string& documento) const;

private:
    std::set<std::string> enCurso_;
    std::map<std::string, std::string> porDocumento_;
    std::map<std::string, std::string> porClave_;
};

} // namespace envio
