#pragma once

#include "platform/ProcessIdentity.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace envio {

// Claims on documents, shared by every run on every machine that reaches the program folder.
// A run mails a document only while it holds its claim, a file created with O_EXCL in the
// folder `envio-reservas`: exclusive creation is the one guarantee an SMB share gives across
// machines (its locks are seen by one machine only).
//
// A claim lives while its run sends the document and is removed once the document has its sent
// name or the server has refused it. A run that dies, or that cannot tell whether the server
// took the message, leaves its claim behind, and the claim then says "possibly sent": no run
// mails that document again until a person has said so.
class Reservas {
public:
    // What a claim file says about its holder and its document.
    struct Reserva {
        std::string clave;
        ProcessIdentity titular;
        std::string desde; // UTC, YYYY-MM-DDTHH:MM:SSZ
        std::chrono::system_clock::time_point momento;
        std::string documento;
        std::string destinatario;
        bool dudosa = false;   // its run left it: the document may be with its recipient
        std::string respuesta; // what the server said, when it said anything
        std::filesystem::path archivo;
    };

    struct Toma {
        bool tomada = false;
        std::optional<Reserva> otra; // the claim that stands in the way
    };

    using Ahora = std::function<std::chrono::system_clock::time_point()>;

    // A run of another machine whose claim is older than this, and still sending, is taken to
    // have died: no message takes that long to reach a server.
    static constexpr std::chrono::minutes kVidaMaxima{15};

    Reservas(const std::filesystem::path& carpetaPrograma, ProcessIdentity yo,
             Ahora ahora = std::chrono::system_clock::now);

    // The same document spelled by any machine: the last three components of its path (the
    // documents' folder, its sub-folder, the file), without regard to case.
    static std::string claveDe(const std::filesystem::path& documento);

    // Creates the claim, unless one exists. A claim that its run left behind is replaced only
    // when `retomarDudosa` (a person confirmed the resend). Throws std::runtime_error with the
    // user's words when the folder cannot be written.
    Toma tomar(const std::string& clave, const std::string& documento,
               const std::string& destinatario, bool retomarDudosa);

    // The server's answer could not be had, or the document could not be renamed: the claim
    // stays behind, saying why.
    void dejarDudosa(const std::string& clave, const std::string& respuesta);
    void soltar(const std::string& clave);

    // Every claim, read now; those of runs that are gone are marked `dudosa`.
    [[nodiscard]] std::vector<Reserva> todas() const;
    [[nodiscard]] std::optional<Reserva> leer(const std::string& clave) const;

    [[nodiscard]] const std::filesystem::path& carpeta() const { return carpeta_; }

private:
    [[nodiscard]] std::filesystem::path archivoDe(const std::string& clave) const;
    [[nodiscard]] std::optional<Reserva> leerArchivo(const std::filesystem::path& archivo) const;
    // False when `nueva` and the file exists already.
    bool escribir(const std::filesystem::path& archivo, const Reserva& reserva, bool nueva) const;
    bool retirar(const Reserva& vista);

    std::filesystem::path carpeta_;
    ProcessIdentity yo_;
    Ahora ahora_;
};

// The ledger's and the claims' time ("2026-03-20T08:00:05Z") as the user reads it
// ("20/03/2026 08:00 UTC").
std::string horaLegible(const std::string& utc);

// One line for the user: who holds a claim and since when.
std::string describirTitular(const Reservas::Reserva& reserva);

} // namespace envio
