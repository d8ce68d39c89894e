#include "ledger/Reservas.h"

#include "platform/FileSystem.h"
#include "platform/Sha256.h"
#include "settings/Windows1252.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <stdexcept>
#include <unistd.h>

namespace envio {
namespace {

constexpr std::string_view kExtension = ".reserva";

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
           "\ninicio=" + std::to_string(r.titular.startTicks) + "\ndesde=" + r.desde +
           "\nsegundos=" + std::to_string(seconds) + "\ndocumento=" + oneLine(r.documento) +
           "\ndestinatario=" + oneLine(r.destinatario) +
           "\nestado=" + (r.dudosa ? "dudosa" : "enviando") + "\nrespuesta=" +
           oneLine(r.respuesta) + "\n";
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

void writeWhole(int fd, const std::string& bytes, const std::filesystem::path& path) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done,
                                   static_cast<off_t>(done));
        if (n < 0 && errno != EINTR) {
            throw claimError(path, errno);
        }
        done += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    if (::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0 || ::fsync(fd) != 0) {
        throw claimError(path, errno);
    }
}

} // namespace

Reservas::Reservas(const std::filesystem::path& carpetaPrograma, ProcessIdentity yo, Ahora ahora)
    : carpeta_(fs::resolveInFolder(carpetaPrograma, "envio-reservas")), yo_(std::move(yo)),
      ahora_(std::move(ahora)) {}

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
    return carpeta_ / (sha256DeTexto(clave).substr(0, 40) + std::string(kExtension));
}

std::optional<Reservas::Reserva>
Reservas::leerArchivo(const std::filesystem::path& archivo) const {
    const auto bytes = fs::readFile(archivo);
    if (!bytes) {
        return std::nullopt;
    }
    const auto f = fieldsOf(*bytes);
    Reserva r;
    r.archivo = archivo;
    if (f.find("estado") == f.end()) {
        // Created a moment ago and not written yet: its run is at work, unless the file has
        // stayed empty for longer than any run takes.
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
    r.momento = std::chrono::system_clock::time_point(std::chrono::seconds(numberOr(f, "segundos")));
    r.documento = f.count("documento") ? f.at("documento") : "";
    r.destinatario = f.count("destinatario") ? f.at("destinatario") : "";
    r.respuesta = f.count("respuesta") ? f.at("respuesta") : "";
    const bool mine = r.titular.host == yo_.host;
    r.dudosa = f.at("estado") == "dudosa" || (mine && !isRunningHere(r.titular)) ||
               (!mine && ahora_() - r.momento > kVidaMaxima);
    return r;
}

bool Reservas::escribir(const std::filesystem::path& archivo, const Reserva& reserva,
                        bool nueva) const {
    const int fd = nueva ? ::open(archivo.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644)
                         : ::open(archivo.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        if (nueva && errno == EEXIST) {
            return false;
        }
        throw claimError(archivo, errno);
    }
    try {
        writeWhole(fd, serialize(reserva), archivo);
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);
    return true;
}

Reservas::Toma Reservas::tomar(const std::string& clave, const std::string& documento,
                               const std::string& destinatario, bool retomarDudosa) {
    std::error_code error;
    std::filesystem::create_directories(carpeta_, error);
    Reserva mia;
    mia.clave = clave;
    mia.titular = yo_;
    mia.momento = ahora_();
    mia.desde = utcText(mia.momento);
    mia.documento = documento;
    mia.destinatario = destinatario;
    const auto archivo = archivoDe(clave);
    // Each turn either creates the claim or finds another; one that vanishes meanwhile (its
    // run finished) is tried again, a few times at most.
    for (int turn = 0; turn < 5; ++turn) {
        if (escribir(archivo, mia, true)) {
            return {true, std::nullopt};
        }
        const auto otra = leerArchivo(archivo);
        if (!otra) {
            continue;
        }
        if (!otra->dudosa || !retomarDudosa) {
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
        try {
            fs::renameWithoutReplacing(retirada, vista.archivo);
        } catch (const std::runtime_error&) {
        }
        return false;
    }
    fs::removeRetryingWhileBusy(retirada);
    return true;
}

void Reservas::dejarDudosa(const std::string& clave, const std::string& respuesta) {
    const auto archivo = archivoDe(clave);
    auto reserva = leerArchivo(archivo);
    if (!reserva || reserva->titular.pid != yo_.pid || reserva->titular.host != yo_.host) {
        return;
    }
    reserva->dudosa = true;
    reserva->respuesta = respuesta;
    escribir(archivo, *reserva, false);
}

void Reservas::soltar(const std::string& clave) {
    // Left behind when it cannot be removed: it then says "possibly sent" about a name that no
    // longer exists, which stops nothing.
    fs::removeRetryingWhileBusy(archivoDe(clave));
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
    std::string quien = r.titular.user.empty() ? r.titular.host : r.titular.user + "@" + r.titular.host;
    if (quien.empty()) {
        quien = "otro envío";
    }
    return quien + " (proceso " + std::to_string(r.titular.pid) + ") desde " + horaLegible(r.desde);
}

} // namespace envio
