#pragma once

#include "platform/ProcessIdentity.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace envio {

// Claims on documents, shared by every run on every machine that reaches the program folder.
// A run mails a document only while it holds its claim, a folder created with mkdir in
// `envio-reservas`: creating a folder is exclusive on an SMB share between machines (its locks
// are seen by one machine only, and two machines creating one file with O_EXCL at the same
// moment can both succeed). Its file `titular` says who holds it and is written once, never
// replaced: a replacement through the share leaves a moment without the file. What happens
// next goes in marks beside it in the folder ("respuesta", "enviada"), each naming the run of
// the claim it belongs to.
//
// A claim lives while its run sends the document. Once the document has its sent name the claim
// says "sent" for a few minutes more: another machine's view of the folder may still show the
// pending name for a moment (a network mount answers look-ups from its cache), and the claim is
// what tells it the truth. A refusal removes the claim. A run that dies, or that cannot tell
// whether the server took the message, leaves its claim behind, and the claim then says
// "possibly sent": no run mails that document again until a person has said so.
class Reservas {
public:
    // What a claim file says about its holder and its document.
    struct Reserva {
        std::string clave;
        ProcessIdentity titular;
        std::string ejecucion; // which run of its process
        std::string desde;     // UTC, YYYY-MM-DDTHH:MM:SSZ
        std::chrono::system_clock::time_point momento;
        std::string documento;
        std::string destinatario;
        bool dudosa = false;     // its run is gone: the document may be with its recipient
        bool enviada = false;    // the document has its sent name (a recent claim only)
        bool respondida = false; // the server answered, or its answer was waited for in vain
        std::string respuesta;   // what the server said, when it said anything
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
    // How long a claim says "sent" after the rename: far longer than any cache of a look-up.
    static constexpr std::chrono::minutes kVidaEnviada{10};

    // Each object stands for one run: a claim of this very process counts as held only while
    // the object that took it exists (the window goes on living after its runs end).
    Reservas(const std::filesystem::path& carpetaPrograma, ProcessIdentity yo,
             Ahora ahora = std::chrono::system_clock::now);
    ~Reservas();
    Reservas(const Reservas&) = delete;
    Reservas& operator=(const Reservas&) = delete;

    // The same document spelled by any machine: the last three components of its path (the
    // documents' folder, its sub-folder, the file), without regard to case.
    static std::string claveDe(const std::filesystem::path& documento);

    // Creates the claim, unless one exists. A claim that its run left behind is replaced only
    // when `retomarDudosa` (a person confirmed the resend). Throws std::runtime_error with the
    // user's words when the folder cannot be written.
    Toma tomar(const std::string& clave, const std::string& documento,
               const std::string& destinatario, bool retomarDudosa);

    // What the server said (nothing, when its answer never came), written into the claim before
    // the ledger, so that every machine can tell why, should its run stop before releasing it.
    // The claim still counts as held while its run goes on.
    void anotarRespuesta(const std::string& clave, const std::string& respuesta);
    // The document has its sent name: the claim says so for kVidaEnviada, then goes.
    void marcarEnviada(const std::string& clave);
    void soltar(const std::string& clave);
    // Removes the claims that said "sent" for longer than kVidaEnviada.
    void limpiarEnviadas();

    // Every claim, read now; those of runs that are gone are marked `dudosa`.
    [[nodiscard]] std::vector<Reserva> todas() const;
    [[nodiscard]] std::optional<Reserva> leer(const std::string& clave) const;

    [[nodiscard]] const std::filesystem::path& carpeta() const { return carpeta_; }

private:
    [[nodiscard]] std::filesystem::path archivoDe(const std::string& clave) const;
    [[nodiscard]] std::optional<Reserva> leerArchivo(const std::filesystem::path& archivo) const;
    // False when the claim exists already.
    bool crear(const std::filesystem::path& archivo, const Reserva& reserva) const;
    // Nothing when the file system cannot rename without replacing.
    std::optional<bool> crearEntera(const std::filesystem::path& archivo,
                                    const Reserva& reserva) const;
    // `ejecucion`: the run of the claim the mark belongs to.
    void marcar(const std::filesystem::path& marca, const std::string& contenido,
                const std::string& ejecucion) const;
    static std::optional<std::map<std::string, std::string>>
    leerMarca(const std::filesystem::path& marca, const std::string& ejecucion);
    static std::filesystem::path marcaDe(const std::filesystem::path& archivo,
                                         std::string_view nombre);
    bool retirar(const Reserva& vista);
    // True when this object took the claim less than a third of kVidaMaxima ago: no run on any
    // machine gives it up before kVidaMaxima, and the margin covers clocks that differ by
    // minutes. It need not be read back before a mark (a read costs a round trip on a share).
    [[nodiscard]] bool esPropiaReciente(const std::string& clave) const;
    [[nodiscard]] std::string segundosAhora() const; // a mark's line with this moment

    [[nodiscard]] bool sigueViva(const Reserva& reserva) const;

    std::filesystem::path carpeta_;
    ProcessIdentity yo_;
    std::string ejecucion_;
    Ahora ahora_;
    // The folder is on a share: looked up once, not once per claim and mark.
    bool enRed_;
    // The claims this object created: a run marks each of them twice.
    struct Propia {
        std::chrono::system_clock::time_point momento;
        bool respondida = false; // its answer mark is written
    };
    std::map<std::string, Propia> propias_;
};

// The ledger's and the claims' time ("2026-03-20T08:00:05Z") as the user reads it
// ("20/03/2026 08:00 UTC").
std::string horaLegible(const std::string& utc);

// One line for the user: who holds a claim and since when.
std::string describirTitular(const Reservas::Reserva& reserva);

} // namespace envio
