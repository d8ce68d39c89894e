#include "ledger/Reservas.h"

#include "platform/FileSystem.h"
#include "platform/Sha256.h"
#include "settings/Windows1252.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace envio {
namespace {

constexpr std::string_view kExtension = ".reserva";
constexpr std::string_view kTitular = "titular";
constexpr std::string_view kMarcaRespuesta = "respuesta";
constexpr std::string_view kMarcaEnviada = "enviada";

// A claim's folder and everything in it. Left behind when the share refuses: it then says
// "possibly sent" about its document, which stops nothing that should go.
void removeClaimFolder(const std::filesystem::path& folder) {
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        fs::removeRetryingWhileBusy(it->path());
    }
    for (int attempt = 0; attempt < 40 && ::rmdir(folder.c_str()) != 0 && errno == EBUSY;
         ++attempt) {
        ::usleep(25'000);
    }
}

std::string oneLine(std::string text) {
    for (char& c : text) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return text;
}

std::string utcText(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm parts{};
    ::gmtime_r(&seconds, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

std::string serialize(const Reservas::Reserva& r) {
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(r.momento.time_since_epoch()).count();
    return "clave=" + oneLine(r.clave) + "\nequipo=" + oneLine(r.titular.host) +
           "\nusuario=" + oneLine(r.titular.user) + "\nproceso=" + std::to_string(r.titular.pid) +
           "\nejecucion=" + r.ejecucion + "\ninicio=" + std::to_string(r.titular.startTicks) +
           "\ndesde=" + r.desde + "\nsegundos=" + std::to_string(seconds) +
           "\ndocumento=" + oneLine(r.documento) + "\ndestinatario=" + oneLine(r.destinatario) +
           "\nestado=enviando\nfin=1\n";
}

std::map<std::string, std::string> fieldsOf(const std::string& text) {
    std::map<std::string, std::string> fields;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string line = text.substr(start, end - start);
        if (const auto equals = line.find('='); equals != std::string::npos) {
            fields[line.substr(0, equals)] = line.substr(equals + 1);
        }
        start = end + 1;
    }
    return fields;
}

long long numberOr(const std::map<std::string, std::string>& fields, const std::string& key) {
    const auto it = fields.find(key);
    try {
        return it == fields.end() ? 0 : std::stoll(it->second);
    } catch (const std::logic_error&) {
        return 0;
    }
}

std::runtime_error claimError(const std::filesystem::path& path, int error) {
    return std::runtime_error("No se pudo anotar el documento como en envío en " + path.string() +
                              ": " + std::strerror(error));
}

// Into a file just created empty (O_TRUNC). Flushed where other machines read it: a claim that a
// crash of this machine loses would let another machine mail its document again. On a local disk
// the ledger already keeps the doubt.
void writeWhole(int fd, const std::string& bytes, const std::filesystem::path& path, bool sync) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno != EINTR) {
            throw claimError(path, errno);
        }
        done += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    if (sync && ::fsync(fd) != 0) {
        throw claimError(path, errno);
    }
}

// The runs of this process whose claims are alive.
std::mutex runsMutex;
std::set<std::string> liveRuns;

// This process as claims name it, read once per process: the user's name and the start time
// cost a file read each, and the claims ask twice per document.
ProcessIdentity thisProcess() {
    static std::mutex mutex;
    static std::optional<ProcessIdentity> known;
    const std::lock_guard lock(mutex);
    if (!known || known->pid != static_cast<long>(::getpid())) {
        known = currentProcess();
    }
    return *known;
}

std::string newRunId() {
    static std::atomic<unsigned> counter{0};
    return std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "-" +
           std::to_string(++counter);
}

} // namespace

Reservas::Reservas(const std::filesystem::path& carpetaPrograma, ProcessIdentity yo, Ahora ahora)
    : carpeta_(fs::resolveInFolder(carpetaPrograma, "envio-reservas")), yo_(std::move(yo)),
      ejecucion_(newRunId()), ahora_(std::move(ahora)), enRed_(fs::isNetworkFileSystem(carpeta_)) {
    const std::lock_guard lock(runsMutex);
    liveRuns.insert(ejecucion_);
}

Reservas::~Reservas() {
    const std::lock_guard lock(runsMutex);
    liveRuns.erase(ejecucion_);
}

bool Reservas::sigueViva(const Reserva& r) const {
    if (r.titular.host != yo_.host) {
        return ahora_() - r.momento <= kVidaMaxima;
    }
    const ProcessIdentity self = thisProcess();
    if (r.titular.host == self.host && r.titular.pid == self.pid &&
        r.titular.startTicks == self.startTicks) {
        const std::lock_guard lock(runsMutex);
        return liveRuns.count(r.ejecucion) != 0;
    }
    return isRunningHere(r.titular); // another process of this machine
}

std::string Reservas::claveDe(const std::filesystem::path& documento) {
    std::vector<std::string> parts;
    for (const auto& part : documento) {
        parts.push_back(part.string());
    }
    std::string clave;
    for (std::size_t i = parts.size() > 3 ? parts.size() - 3 : 0; i < parts.size(); ++i) {
        std::string folded = utf8ToWindows1252(parts[i]);
        for (char& c : folded) {
            c = static_cast<char>(foldWindows1252(static_cast<unsigned char>(c)));
        }
        clave += (clave.empty() ? "" : "/") + windows1252ToUtf8(folded);
    }
    return clave;
}

std::filesystem::path Reservas::archivoDe(const std::string& clave) const {
    return carpeta_ / (sha256OfText(clave).substr(0, 40) + std::string(kExtension));
}

std::optional<Reservas::Reserva> Reservas::leerArchivo(const std::filesystem::path& archivo) const {
    const auto bytes = fs::readFile(archivo / kTitular);
    std::error_code missing;
    if (!bytes && !std::filesystem::is_directory(archivo, missing)) {
        return std::nullopt;
    }
    const auto f = bytes ? fieldsOf(*bytes) : std::map<std::string, std::string>{};
    Reserva r;
    r.archivo = archivo;
    if (f.find("fin") == f.end() || f.find("estado") == f.end()) {
        // Created a moment ago and not wholly written yet: its run is at work, unless the file
        // has stayed so for longer than any run takes.
        std::error_code error;
        const auto written = std::filesystem::last_write_time(archivo, error);
        r.momento = error ? ahora_()
                          : std::chrono::time_point_cast<std::chrono::system_clock::duration>(
                                std::chrono::file_clock::to_sys(written));
        r.desde = utcText(r.momento);
        r.dudosa = ahora_() - r.momento > kVidaMaxima;
        return r;
    }
    r.clave = f.at("clave");
    r.titular = {f.at("equipo"), f.count("usuario") ? f.at("usuario") : "",
                 static_cast<long>(numberOr(f, "proceso")),
                 static_cast<std::uint64_t>(numberOr(f, "inicio"))};
    r.desde = f.count("desde") ? f.at("desde") : "";
    r.momento =
        std::chrono::system_clock::time_point(std::chrono::seconds(numberOr(f, "segundos")));
    r.documento = f.count("documento") ? f.at("documento") : "";
    r.destinatario = f.count("destinatario") ? f.at("destinatario") : "";
    r.ejecucion = f.count("ejecucion") ? f.at("ejecucion") : "";
    // What happened since is in marks beside the claim, each valid for this claim's run only.
    if (const auto respuesta = leerMarca(marcaDe(archivo, kMarcaRespuesta), r.ejecucion)) {
        r.respondida = true;
        r.respuesta = respuesta->at("respuesta");
    }
    if (const auto enviada = leerMarca(marcaDe(archivo, kMarcaEnviada), r.ejecucion)) {
        r.enviada = true;
        // A run's answer mark becomes its sent mark by a rename, and brings the answer along.
        if (const auto respuesta = enviada->find("respuesta"); respuesta != enviada->end()) {
            r.respondida = true;
            r.respuesta = respuesta->second;
        }
        r.momento = std::chrono::system_clock::time_point(
            std::chrono::seconds(numberOr(*enviada, "segundos")));
        return r;
    }
    r.dudosa = !sigueViva(r);
    return r;
}

bool Reservas::crear(const std::filesystem::path& archivo, const Reserva& reserva) const {
    if (!enRed_) {
        // A local disk can put the whole claim in place at once: a run killed while writing it
        // then leaves nothing instead of an empty claim that nobody can attribute.
        if (const auto creada = crearEntera(archivo, reserva)) {
            return *creada;
        }
    }
    // mkdir, not O_CREAT|O_EXCL: through smbnetfs two machines creating one file at the same
    // moment both succeeded 57 times in 300 tries; two creating one folder never did (0 of 300).
    if (::mkdir(archivo.c_str(), 0755) != 0) {
        if (errno == EEXIST) {
            return false;
        }
        throw claimError(archivo, errno);
    }
    // Read and write, though nothing is read: through smbnetfs, ftruncate on a write-only
    // descriptor fails with EIO.
    const auto titular = archivo / kTitular;
    const int fd = ::open(titular.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        throw claimError(archivo, errno);
    }
    try {
        writeWhole(fd, serialize(reserva), archivo, enRed_);
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);
    return true;
}

std::optional<bool> Reservas::crearEntera(const std::filesystem::path& archivo,
                                          const Reserva& reserva) const {
    const auto temporal = std::filesystem::path(archivo.string() + "." + ejecucion_ + ".nueva");
    if (::mkdir(temporal.c_str(), 0755) != 0) {
        return std::nullopt;
    }
    const auto titular = temporal / kTitular;
    const int fd = ::open(titular.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool written = fd >= 0;
    if (written) {
        try {
            writeWhole(fd, serialize(reserva), archivo, false);
        } catch (const std::runtime_error&) {
            written = false;
        }
        ::close(fd);
    }
    if (!written) {
        removeClaimFolder(temporal);
        return std::nullopt;
    }
    const fs::NoReplaceMethod atomica[] = {fs::NoReplaceMethod::RenameFlag};
    try {
        const bool creada = fs::renameWithoutReplacing(temporal, archivo, atomica);
        if (!creada) {
            removeClaimFolder(temporal);
        }
        return creada;
    } catch (const std::runtime_error&) {
        removeClaimFolder(temporal);
        return std::nullopt; // no atomic rename here: exclusive creation does it
    }
}

// A mark is written whole under a name of its own, then renamed into place: a reader sees it
// whole or not at all (and a missing mark only makes the claim look held a moment longer).
void Reservas::marcar(const std::filesystem::path& marca, const std::string& contenido,
                      const std::string& ejecucion) const {
    const auto temporal = std::filesystem::path(marca.string() + "." + ejecucion_ + ".nueva");
    const int fd = ::open(temporal.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 && errno == ENOENT) {
        return; // the claim is gone: there is nothing left to mark
    }
    if (fd < 0) {
        throw claimError(marca, errno);
    }
    try {
        writeWhole(fd, contenido + "ejecucion=" + ejecucion + "\nfin=1\n", marca, enRed_);
    } catch (...) {
        ::close(fd);
        fs::removeRetryingWhileBusy(temporal);
        throw;
    }
    ::close(fd);
    if (const int error = fs::replaceRetryingWhileBusy(temporal, marca); error != 0) {
        fs::removeRetryingWhileBusy(temporal);
        throw claimError(marca, error);
    }
}

std::optional<std::map<std::string, std::string>>
Reservas::leerMarca(const std::filesystem::path& marca, const std::string& ejecucion) {
    const auto bytes = fs::readFile(marca);
    if (!bytes) {
        return std::nullopt;
    }
    auto f = fieldsOf(*bytes);
    if (f.find("fin") == f.end() || f["ejecucion"] != ejecucion || ejecucion.empty()) {
        return std::nullopt; // half written, or left by an earlier claim of the same document
    }
    return f;
}

std::filesystem::path Reservas::marcaDe(const std::filesystem::path& archivo,
                                        std::string_view nombre) {
    return archivo / nombre;
}

Reservas::Toma Reservas::tomar(const std::string& clave, const std::string& documento,
                               const std::string& destinatario, bool retomarDudosa) {
    std::error_code error;
    std::filesystem::create_directories(carpeta_, error);
    Reserva mia;
    mia.clave = clave;
    mia.titular = yo_;
    mia.ejecucion = ejecucion_;
    mia.momento = ahora_();
    mia.desde = utcText(mia.momento);
    mia.documento = documento;
    mia.destinatario = destinatario;
    const auto archivo = archivoDe(clave);
    // Each turn either creates the claim or finds another; one that vanishes meanwhile (its
    // run finished) is tried again, a few times at most.
    for (int turn = 0; turn < 5; ++turn) {
        if (crear(archivo, mia)) {
            propias_[clave] = {mia.momento, false};
            return {true, std::nullopt};
        }
        const auto otra = leerArchivo(archivo);
        if (!otra) {
            continue;
        }
        const bool caducada = otra->enviada && ahora_() - otra->momento > kVidaEnviada;
        if (!caducada && (!otra->dudosa || !retomarDudosa)) {
            return {false, otra};
        }
        retirar(*otra);
    }
    return {false, leerArchivo(archivo)};
}

// Moves a left-behind claim out of the way under a name of this process's own: of two runs
// that both want it, only one moves it. Should the file moved turn out to be another run's
// fresh claim (it replaced the old one meanwhile), it goes back.
bool Reservas::retirar(const Reserva& vista) {
    const auto retirada = std::filesystem::path(vista.archivo.string() + "." + yo_.host + "." +
                                                std::to_string(yo_.pid) + ".retirada");
    if (fs::renameRetryingWhileBusy(vista.archivo, retirada) != 0) {
        return false;
    }
    const auto movida = leerArchivo(retirada);
    if (!movida || movida->desde != vista.desde || movida->titular.pid != vista.titular.pid ||
        movida->titular.host != vista.titular.host) {
        ::rename(retirada.c_str(), vista.archivo.c_str());
        return false;
    }
    removeClaimFolder(retirada);
    return true;
}

bool Reservas::esPropiaReciente(const std::string& clave) const {
    const auto propia = propias_.find(clave);
    return propia != propias_.end() && ahora_() - propia->second.momento < kVidaMaxima / 3;
}

std::string Reservas::segundosAhora() const {
    return "segundos=" +
           std::to_string(
               std::chrono::duration_cast<std::chrono::seconds>(ahora_().time_since_epoch())
                   .count()) +
           "\n";
}

void Reservas::anotarRespuesta(const std::string& clave, const std::string& respuesta) {
    const auto archivo = archivoDe(clave);
    if (!esPropiaReciente(clave)) {
        const auto reserva = leerArchivo(archivo);
        if (!reserva || reserva->ejecucion != ejecucion_) {
            return;
        }
    }
    // Its time too: should the document get its sent name, this very mark becomes the sent one.
    marcar(marcaDe(archivo, kMarcaRespuesta),
           "respuesta=" + oneLine(respuesta) + "\n" + segundosAhora(), ejecucion_);
    if (const auto propia = propias_.find(clave); propia != propias_.end()) {
        propia->second.respondida = true;
    }
}

void Reservas::marcarEnviada(const std::string& clave) {
    const auto archivo = archivoDe(clave);
    const bool propia = esPropiaReciente(clave);
    if (propia && propias_.at(clave).respondida &&
        fs::renameRetryingWhileBusy(marcaDe(archivo, kMarcaRespuesta),
                                    marcaDe(archivo, kMarcaEnviada)) == 0) {
        // A rename, where a new file costs a round trip more on a share: one file fewer per
        // document.
        propias_.erase(clave);
        return;
    }
    // The mark belongs to the claim's run, whoever writes it (the start-up's recovery writes it
    // for a run that is gone).
    std::string ejecucion = ejecucion_;
    if (!propia) {
        const auto reserva = leerArchivo(archivo);
        // Never another live run's claim: that run is still settling its own attempt.
        if (!reserva || reserva->enviada ||
            (reserva->ejecucion != ejecucion_ && !reserva->dudosa)) {
            return;
        }
        ejecucion = reserva->ejecucion;
    }
    marcar(marcaDe(archivo, kMarcaEnviada), segundosAhora(), ejecucion);
    propias_.erase(clave); // marked sent: a second mark would only say it again
}

void Reservas::limpiarEnviadas() {
    for (const auto& reserva : todas()) {
        if (reserva.enviada && ahora_() - reserva.momento > kVidaEnviada) {
            retirar(reserva);
        }
    }
}

void Reservas::soltar(const std::string& clave) {
    propias_.erase(clave);
    removeClaimFolder(archivoDe(clave));
}

std::vector<Reservas::Reserva> Reservas::todas() const {
    std::vector<Reserva> found;
    std::error_code error;
    for (std::filesystem::directory_iterator it(carpeta_, error), end; !error && it != end;
         it.increment(error)) {
        if (it->path().extension() == kExtension) {
            if (auto r = leerArchivo(it->path()); r && !r->clave.empty()) {
                found.push_back(std::move(*r));
            }
        }
    }
    return found;
}

std::optional<Reservas::Reserva> Reservas::leer(const std::string& clave) const {
    return leerArchivo(archivoDe(clave));
}

std::string horaLegible(const std::string& utc) {
    if (utc.size() < 16 || utc[4] != '-' || utc[10] != 'T') {
        return utc;
    }
    return utc.substr(8, 2) + "/" + utc.substr(5, 2) + "/" + utc.substr(0, 4) + " " +
           utc.substr(11, 5) + " UTC";
}

std::string describirTitular(const Reservas::Reserva& r) {
    std::string quien =
        r.titular.user.empty() ? r.titular.host : r.titular.user + "@" + r.titular.host;
    if (quien.empty()) {
        quien = "otro envío";
    }
    return quien + " (proceso " + std::to_string(r.titular.pid) + ") desde " + horaLegible(r.desde);
}

} // namespace envio
