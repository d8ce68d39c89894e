#include "mail/IntentoEnvio.h"

#include "catalogue/Catalogo.h"
#include "catalogue/MoverDocumento.h"
#include "mail/ErroresEjecucion.h"
#include "mail/MandarCorreos.h"
#include "mail/clsCDOmail.h"
#include "platform/Sha256.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace envio {
namespace {

// Opened, not looked up: a network mount may answer a look-up from its cache for a second after
// another machine renamed the file, while an open asks the server.
bool isPresent(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return errno != ENOENT && errno != ENOTDIR;
    }
    ::close(fd);
    return true;
}

// The password-protected copy of one document: written into a folder of its own that only this
// user may read, on this machine's temporary disk (never the share, where a file cannot be
// removed while another process still has it open), attached under the document's own name and
// removed with its folder when the attempt is over, whatever its outcome.
class CopiaProtegida {
public:
    CopiaProtegida(PdfEngine& pdf, const std::filesystem::path& documento,
                   const std::string& contrasena) {
        std::string plantilla =
            (std::filesystem::temp_directory_path() / "envio-documentos-XXXXXX").string();
        if (::mkdtemp(plantilla.data()) == nullptr) {
            throw std::runtime_error("No se pudo crear una carpeta temporal para proteger " +
                                     documento.filename().string() + ": " + std::strerror(errno));
        }
        carpeta_ = plantilla;
        ruta_ = carpeta_ / documento.filename();
        try {
            pdf.encrypt(documento, ruta_, contrasena);
        } catch (...) {
            quitar();
            throw;
        }
    }
    ~CopiaProtegida() { quitar(); }
    CopiaProtegida(const CopiaProtegida&) = delete;
    CopiaProtegida& operator=(const CopiaProtegida&) = delete;

    [[nodiscard]] const std::filesystem::path& ruta() const { return ruta_; }

private:
    void quitar() noexcept {
        std::error_code ignorado;
        std::filesystem::remove_all(carpeta_, ignorado);
    }

    std::filesystem::path carpeta_;
    std::filesystem::path ruta_;
};

} // namespace

IntentoEnvio::IntentoEnvio(EntornoEnvio& entorno, std::string ejecucion)
    : e_(entorno), ejecucion_(std::move(ejecucion)) {}

IntentoEnvio::~IntentoEnvio() {
    try {
        e_.registro.indexarPendientes();
    } catch (const std::exception&) {
        // Left to the next open of the ledger.
    }
}

DesenlaceEnvio IntentoEnvio::intentar(const Envio& envio, bool reenvioConfirmado) {
    // Before the claim: a document waiting for its turn is not held from other runs.
    if (auto sinTurno = esperarTurno()) {
        return *sinTurno;
    }
    const auto toma =
        e_.reservas.tomar(envio.clave, envio.documento, envio.para, reenvioConfirmado);
    if (!toma.tomada) {
        DesenlaceEnvio d;
        d.estado = !toma.otra           ? DesenlaceEnvio::Estado::Ocupado
                   : toma.otra->enviada ? DesenlaceEnvio::Estado::YaNoPendiente
                   : toma.otra->dudosa  ? DesenlaceEnvio::Estado::Dudoso
                                        : DesenlaceEnvio::Estado::Ocupado;
        d.otra = toma.otra;
        return d;
    }
    puedeHaberSalido_ = false;
    try {
        return enviarConClaim(envio, reenvioConfirmado);
    } catch (...) {
        // Whatever stopped the run before the message went out: the claim goes with it. After
        // that moment it stays, and its run being gone makes it "possibly sent".
        if (!puedeHaberSalido_) {
            e_.reservas.soltar(envio.clave);
        }
        throw;
    }
}

DesenlaceEnvio IntentoEnvio::enviarConClaim(const Envio& envio, bool reenvioConfirmado) {
    // The list may be minutes old: another run may have mailed the document meanwhile. With
    // the claim held, what is on disk and in the ledger now is what counts.
    if (envio.archivo && !isPresent(*envio.archivo)) {
        e_.reservas.soltar(envio.clave);
        return {DesenlaceEnvio::Estado::YaNoPendiente, std::nullopt, {}, {}, {}};
    }
    const std::string hash =
        envio.archivo ? sha256OfFile(*envio.archivo).value_or("") : std::string();
    if (!hash.empty() && !reenvioConfirmado && e_.registro.envioPrevio(envio.documento, hash)) {
        e_.reservas.soltar(envio.clave);
        return {DesenlaceEnvio::Estado::Dudoso, std::nullopt, {}, {}, {}};
    }
    std::optional<CopiaProtegida> copia;
    std::string hashAdjunto;
    if (envio.archivo && !envio.contrasena.empty()) {
        if (e_.proteccion == nullptr) {
            throw std::logic_error("envío protegido sin motor PDF");
        }
        try {
            copia.emplace(e_.proteccion->pdf, *envio.archivo, envio.contrasena);
        } catch (const std::runtime_error& error) {
            // This document cannot go out protected; it is not sent, and the run goes on.
            e_.reservas.soltar(envio.clave);
            e_.dialogos.mostrar({error.what(), "Aviso", Icono::Critico, Botones::Aceptar});
            return {};
        }
        hashAdjunto = sha256OfFile(copia->ruta()).value_or("");
    }
    // What goes out: the protected copy when there is one, else the document itself.
    const Adjunto adjunto{copia ? copia->ruta() : envio.archivo.value_or(std::filesystem::path()),
                          hashAdjunto};
    for (std::size_t reintento = 0;; ++reintento) {
        Vez vez = enviarUnaVez(envio, hash, adjunto);
        const bool otraVez = !vez.enviado && vez.constancia.transitorio &&
                             !vez.constancia.puedeHaberseEntregado &&
                             reintento < kEsperasReintento.size();
        if (!otraVez) {
            if (vez.aviso) {
                e_.dialogos.mostrar(*vez.aviso);
            }
            return asentar(envio, vez);
        }
        // The server said it did not take this try: the ledger says so, the claim stays for
        // the next one.
        e_.registro.respuesta(vez.intento, RegistroEnvios::Resultado::Rechazado,
                              vez.constancia.messageId, vez.constancia.respuesta);
        puedeHaberSalido_ = false;
        const auto espera =
            std::max(kEsperasReintento.at(reintento), limites().esperaPorRitmo(reloj().ahora()));
        const std::string motivo =
            vez.constancia.respuesta.empty() || vez.constancia.respuesta.starts_with("2")
                ? "para reintentar: se perdió la conexión con el servidor"
                : "para reintentar: el servidor respondió «" + vez.constancia.respuesta + "»";
        if (!esperar(espera, motivo)) {
            e_.reservas.soltar(envio.clave);
            return {DesenlaceEnvio::Estado::Cancelado, std::nullopt, {}, {}, {}};
        }
    }
}

IntentoEnvio::Vez IntentoEnvio::enviarUnaVez(const Envio& envio, const std::string& sha256,
                                             const Adjunto& adjunto) {
    Vez vez;
    vez.intento = anotar(envio, sha256, adjunto.sha256);
    clsCDOmail oMail(e_.componente, e_.sonda);
    usarConfiguracion(oMail, e_.correo);
    oMail.para = envio.para;
    oMail.Asunto = envio.asunto;
    oMail.Mensaje = envio.mensaje;
    oMail.Adjunto = adjunto.ruta.string();
    oMail.Confirmacion = envio.confirmacion;
    oMail.Error = [&vez](const std::string& descripcion, long numero) {
        vez.aviso =
            CuadroMensaje{descripcion, std::to_string(numero), Icono::Critico, Botones::Aceptar};
    };
    puedeHaberSalido_ = true;
    limites().anotarIntento(reloj().ahora());
    try {
        vez.enviado = oMail.Enviar();
    } catch (const ErrorComponenteCorreo&) {
        // The message could not be put together: nothing left for the server.
        e_.registro.respuesta(vez.intento, RegistroEnvios::Resultado::Rechazado, "", "");
        e_.reservas.soltar(envio.clave);
        throw;
    }
    vez.constancia = oMail.UltimoEnvio();
    return vez;
}

DesenlaceEnvio IntentoEnvio::asentar(const Envio& envio, const Vez& vez) {
    const auto& constancia = vez.constancia;
    const auto resultado = vez.enviado ? RegistroEnvios::Resultado::Aceptado
                           : constancia.puedeHaberseEntregado
                               ? RegistroEnvios::Resultado::Incierto
                               : RegistroEnvios::Resultado::Rechazado;
    if (resultado != RegistroEnvios::Resultado::Rechazado) {
        limites().anotarEnvio(reloj().ahora());
        // Before the ledger, which may fail: the claim keeps the doubt for every machine.
        e_.reservas.anotarRespuesta(envio.clave, constancia.respuesta);
    }
    e_.registro.respuesta(vez.intento, resultado, constancia.messageId, constancia.respuesta);
    return trasRespuesta(envio, vez.intento, resultado);
}

DesenlaceEnvio IntentoEnvio::trasRespuesta(const Envio& envio, long long intento,
                                           RegistroEnvios::Resultado resultado) {
    DesenlaceEnvio d;
    if (resultado == RegistroEnvios::Resultado::Rechazado) {
        e_.reservas.soltar(envio.clave);
        return d;
    }
    if (resultado == RegistroEnvios::Resultado::Incierto) {
        // The claim stays: once this run is over it says "possibly sent" on every machine.
        d.estado = DesenlaceEnvio::Estado::Incierto;
        return d;
    }
    d.estado = DesenlaceEnvio::Estado::Enviado;
    if (!envio.archivo) {
        e_.reservas.soltar(envio.clave);
        return d;
    }
    marcar(envio, intento, d);
    return d;
}

// The message is with the server: from here on nothing may make the document look pending. A
// file that cannot be renamed keeps its name and its claim says so; the next start on this
// machine finishes the rename from the ledger.
void IntentoEnvio::marcar(const Envio& envio, long long intento, DesenlaceEnvio& d) {
    d.ruta = *envio.archivo;
    if (!estaEnviado(envio.archivo->filename().string())) {
        try {
            d.ruta = moverDocumento(*envio.archivo, rutaEnviada(envio.archivo->string()));
        } catch (const std::runtime_error& error) {
            d.errorMarcado = error.what();
            return;
        }
    }
    e_.registro.renombrado(intento, d.ruta);
    e_.reservas.marcarEnviada(envio.clave);
}

long long IntentoEnvio::anotar(const Envio& envio, const std::string& sha256,
                               const std::string& sha256Adjunto) {
    RegistroEnvios::Intento intento;
    intento.ejecucion = ejecucion_;
    intento.documento = envio.documento;
    if (envio.archivo) {
        std::error_code error;
        intento.tamano = std::filesystem::file_size(*envio.archivo, error);
        intento.sha256 = sha256;
        intento.sha256Adjunto = sha256Adjunto;
    } else {
        intento.tamano = envio.mensaje.size();
    }
    intento.destinatario = envio.para;
    intento.nombreListado = envio.nombreListado;
    intento.hora = horaUtcDe(reloj().ahora());
    return e_.registro.antesDeEnviar(intento);
}

const Reloj& IntentoEnvio::reloj() const {
    return e_.reloj != nullptr ? *e_.reloj : relojDelSistema_;
}

LimitesEnvio& IntentoEnvio::limites() {
    if (!limites_) {
        const LimitesCuenta cuenta{e_.correo.limitePorMinuto, e_.correo.limitePorDia};
        std::vector<LimitesEnvio::Momento> enviados;
        if (cuenta != LimitesCuenta{}) {
            const auto desde = reloj().ahora() - std::chrono::hours(24);
            for (const auto& hora :
                 RegistroEnvios::horasDeEnvio(e_.carpeta.ruta(), horaUtcDe(desde))) {
                if (const auto momento = momentoDeHoraUtc(hora)) {
                    enviados.push_back(*momento);
                }
            }
        }
        limites_.emplace(cuenta, enviados);
    }
    return *limites_;
}

std::optional<DesenlaceEnvio> IntentoEnvio::esperarTurno() {
    DesenlaceEnvio d;
    if (const auto libre = limites().topeAlcanzado(reloj().ahora())) {
        d.estado = DesenlaceEnvio::Estado::Tope;
        d.reanudar = *libre;
        return d;
    }
    const auto espera = limites().esperaPorRitmo(reloj().ahora());
    if (espera > std::chrono::seconds(0) && !esperar(espera, "por el límite del servidor")) {
        d.estado = DesenlaceEnvio::Estado::Cancelado;
        return d;
    }
    return std::nullopt;
}

// Second by second, so that the count the user sees is true and Esc is heard within a second.
bool IntentoEnvio::esperar(std::chrono::seconds espera, const std::string& motivo) {
    using std::chrono::seconds;
    for (seconds quedan = espera; quedan > seconds(0); quedan -= seconds(1)) {
        if (e_.cancelar) {
            return false;
        }
        e_.observador.textoProgreso("Esperando " + std::to_string(quedan.count()) + " s " + motivo);
        reloj().esperar(seconds(1));
    }
    e_.observador.textoProgreso("Enviando ...");
    return !e_.cancelar;
}

} // namespace envio
