#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace envio {

// The ledger of every mailing attempt of every run, kept in the program folder so that a run
// that was killed half-way can be told from one that never started. Each attempt is written
// before the message goes out, again when the server has answered and again when the document
// has its sent name. Every write is in the file before the run goes on, so a killed process
// loses none. The first is also on disk before the message goes out; on a local disk the other
// two reach the disk with the next attempt's first write or at the run's end
// (indexarPendientes), so that a crash of the machine in between leaves the attempt "enviando":
// possibly sent, never mailed again unasked. On a share every write waits for the disk.
//
// The history's search index (table `busqueda`) is kept off the sending path: each write lists
// its attempt's id in `por_indexar` in the same transaction, and indexarPendientes, called at
// the end of each run and when the ledger is opened or closed, indexes the listed attempts as
// they then stand and empties the list.
class RegistroEnvios {
public:
    enum class Resultado { Enviando, Aceptado, Rechazado, Incierto };

    struct Intento {
        long long id = 0;
        std::string ejecucion; // when the run started, UTC
        std::string documento; // full path when the attempt started
        std::uintmax_t tamano = 0;
        std::string sha256;
        // What went out when it was not the file itself (a payslip's password-protected
        // copy); empty when the file was attached as it is.
        std::string sha256Adjunto;
        std::string destinatario;
        std::string nombreListado; // the recipient as the list shows it
        std::string hora;
        Resultado resultado = Resultado::Enviando;
        std::string messageId;
        std::string respuesta;
        std::optional<std::string> renombradoA;
    };

    // Opens or creates the ledger. Throws ErrorBaseDatos.
    explicit RegistroEnvios(const std::filesystem::path& archivo);
    ~RegistroEnvios();
    RegistroEnvios(const RegistroEnvios&) = delete;
    RegistroEnvios& operator=(const RegistroEnvios&) = delete;

    // registro-envios.db; on a network share one per machine, registro-envios.EQUIPO.db.
    static std::filesystem::path archivoEn(const std::filesystem::path& carpetaPrograma);

    long long antesDeEnviar(const Intento& intento);
    void respuesta(long long id, Resultado resultado, const std::string& messageId,
                   const std::string& respuestaServidor);
    void renombrado(long long id, const std::filesystem::path& nuevo);
    // An attempt written before its message and never handed to the server after all (the run
    // stopped first): it leaves the ledger, as if it had never been written. Only an attempt
    // still "enviando" goes.
    void descartar(long long id);
    // The sent name given at the next start, after a run that ended between the server's
    // acceptance and the rename: the history tells these apart.
    void renombradoAlIniciar(long long id, const std::filesystem::path& nuevo);

    // Indexes every listed attempt (and any an older version wrote unlisted) and empties the
    // list, in one transaction that waits for the disk: every earlier write is then on disk too.
    void indexarPendientes();

    // Attempts that the server accepted (or may have accepted) and that never got their sent
    // name: what a killed run leaves behind.
    std::vector<Intento> sinRenombrar();
    // The newest attempt for this document (same path and same contents) that the server
    // accepted or may have accepted, if any.
    std::optional<Intento> envioPrevio(const std::string& documento, const std::string& sha256);
    // Whether any attempt for this path, whatever its contents, may have left a message with the
    // server: when none did, its contents need not be read to ask envioPrevio.
    bool hayEnvioPrevio(const std::string& documento);
    // Per document, its newest attempt when that one may have left a message with the server
    // without the document getting its sent name: the documents a person must decide about.
    std::vector<Intento> dudosos();
    std::vector<Intento> todos();

    // The layout this version writes; older ledgers are brought to it when opened for writing.
    static constexpr int kVersionEsquema = 4;

    // When each attempt that may have left a message with the server started (`hora`, UTC), from
    // `desde` on, in every machine's ledger in the program folder: what the office's account has
    // sent lately, whichever machine sent it. A ledger that cannot be read is left out.
    static std::vector<std::string> horasDeEnvio(const std::filesystem::path& carpetaPrograma,
                                                 const std::string& desde);

private:
    bool hayPendientes();
    void migrar();
    std::vector<Intento> consultar(const std::string& where, const std::vector<std::string>& args);
    void ejecutar(const std::string& sql, const std::vector<std::string>& args);
    int preparada(const std::string& sql, sqlite3_stmt*& sentencia);
    void cerrar() noexcept;
    template <typename Cambio> long long transaccion(bool alDisco, Cambio&& cambio);
    template <typename Cambio> long long escribirIntento(bool alDisco, Cambio&& cambio);

    std::filesystem::path archivo_;
    sqlite3* db_ = nullptr;
    // The writes of a run repeat a few statements three times per document: each is compiled
    // once per connection.
    std::unordered_map<std::string, sqlite3_stmt*> sentencias_;
    bool conLog_ = false; // a write-ahead log: a commit waits for the disk only when asked
};

} // namespace envio
