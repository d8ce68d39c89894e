#include "mail/IntentoEnvio.h"

#include "catalogue/Catalogo.h"
#include "catalogue/MoverDocumento.h"
#include "mail/ErroresEjecucion.h"
#include "mail/MandarCorreos.h"
#include "mail/clsCDOmail.h"
#include "platform/FileSystem.h"
#include "platform/Sha256.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace envio {
namespace {

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

DesenlaceEnvio soloEstado(DesenlaceEnvio::Estado estado) {
    DesenlaceEnvio d;
    d.estado = estado;
    return d;
}

} // namespace

// What preparar leaves for the wire and for the answer.
struct IntentoEnvio::Preparado {
    Envio envio;
    std::string hash; // the document's, when it is a file
    std::uintmax_t tamano = 0;
    std::optional<CopiaProtegida> copia;
    Adjunto adjunto;
    std::unique_ptr<clsCDOmail> correo;
    long long intento = 0; // its "enviando" record
};

// An attempt handed to the line. The line's thread writes `vez` (or `fallo`), and touches nothing
// else of the run: the message object and, through it, the mail component, which nothing else
// uses meanwhile.
struct IntentoEnvio::EnLinea {
    std::size_t etiqueta = 0;
    std::unique_ptr<Preparado> preparado;
    Vez vez;
    std::exception_ptr fallo; // the component failed in a way it does not report
};

IntentoEnvio::IntentoEnvio(EntornoEnvio& entorno, std::string ejecucion)
    : e_(entorno), ejecucion_(std::move(ejecucion)) {}

IntentoEnvio::~IntentoEnvio() {
    if (preparado_) {
        descartar(*preparado_);
    }
    if (linea_) {
        // Only a failure elsewhere leaves messages unsettled: one still waiting never went; one
        // on the wire is waited for, and its record and claim say "possibly sent".
        const bool retirada = linea_->retirar();
        linea_.reset();
        if (retirada) {
            descartar(*enLinea_.back()->preparado);
        }
    }
    try {
        e_.registro.indexarPendientes();
    } catch (const std::exception&) {
        // Left to the next open of the ledger.
    }
}

DesenlaceEnvio IntentoEnvio::intentar(const Envio& envio, bool reenvioConfirmado) {
    if (auto sinSalir = preparar(envio, reenvioConfirmado)) {
        if (sinSalir->aviso) {
            e_.dialogos.mostrar(*sinSalir->aviso);
        }
        return *sinSalir;
    }
    const std::unique_ptr<Preparado> p = std::move(preparado_);
    if (e_.cancelar) {
        descartar(*p);
        return soloEstado(DesenlaceEnvio::Estado::Cancelado);
    }
    limites().anotarIntento(reloj().ahora());
    return responder(*p, enviar(*p->correo, p->intento));
}

std::optional<DesenlaceEnvio> IntentoEnvio::encadenar(std::size_t etiqueta, const Envio& envio,
                                                      bool reenvioConfirmado,
                                                      const Concluida& concluida) {
    esperarHueco(concluida);
    // The account's pace or cap may hold this one back: it waits with nothing unsettled.
    if (!enLinea_.empty() && !limites().cabenEnVuelo(reloj().ahora(), enLinea_.size())) {
        terminar(concluida);
    }
    std::optional<DesenlaceEnvio> sinSalir;
    try {
        sinSalir = preparar(envio, reenvioConfirmado);
    } catch (...) {
        // What is in the line is settled all the same: a document the server took gets its
        // sent name. What goes wrong there too is this failure's consequence.
        try {
            terminar(concluida);
        } catch (...) {
        }
        throw;
    }
    if (!sinSalir && e_.cancelar) {
        descartar(*preparado_);
        preparado_.reset();
        sinSalir = soloEstado(DesenlaceEnvio::Estado::Cancelado);
    }
    if (sinSalir) {
        terminar(concluida);
        return sinSalir;
    }
    if (!linea_) {
        linea_ = std::make_unique<LineaEnvio>(e_.cancelar);
    }
    auto nuevo = std::make_unique<EnLinea>();
    nuevo->etiqueta = etiqueta;
    nuevo->preparado = std::move(preparado_);
    EnLinea& en = *nuevo;
    enLinea_.push_back(std::move(nuevo));
    limites().anotarIntento(reloj().ahora());
    linea_->poner([&en](const std::function<void()>& entregado) {
        clsCDOmail& correo = *en.preparado->correo;
        correo.DatosEntregados = entregado;
        try {
            en.vez = enviar(correo, en.preparado->intento);
        } catch (...) {
            en.fallo = std::current_exception();
        }
        correo.DatosEntregados = nullptr;
        return !en.fallo && esDefinitiva(en.vez, 0);
    });
    return std::nullopt;
}

void IntentoEnvio::terminar(const Concluida& concluida) {
    while (!enLinea_.empty()) {
        asentarHechas(concluida);
        if (enLinea_.empty()) {
            return;
        }
        const auto estado = linea_->esperar(
            [this](const LineaEnvio::Estado& s) { return s.hechas > asentadas_ || s.detenida; });
        if (estado.hechas == asentadas_ && estado.detenida) {
            retirarEsperando(concluida);
        }
    }
}

// Waits until the line has taken the message waiting in it, settling every answer meanwhile.
// Both wait until the message on the wire has all its data out (see LineaEnvio).
void IntentoEnvio::esperarHueco(const Concluida& concluida) {
    while (!enLinea_.empty()) {
        asentarHechas(concluida);
        const auto estado = linea_->esperar([this](const LineaEnvio::Estado& s) {
            return ((s.hechas > asentadas_ || !s.esperando) && s.libre) || s.detenida;
        });
        if (estado.hechas > asentadas_) {
            continue;
        }
        if (!estado.esperando) {
            return;
        }
        retirarEsperando(concluida);
    }
}

// The line stopped for Esc with a message waiting: it never goes.
void IntentoEnvio::retirarEsperando(const Concluida& concluida) {
    if (!linea_->retirar()) {
        return; // the line took it a moment before: its answer comes
    }
    const std::unique_ptr<EnLinea> en = std::move(enLinea_.back());
    enLinea_.pop_back();
    descartar(*en->preparado);
    concluida(en->etiqueta, soloEstado(DesenlaceEnvio::Estado::Cancelado));
}

// Settles, in order, every message the line has finished with.
void IntentoEnvio::asentarHechas(const Concluida& concluida) {
    while (!enLinea_.empty() && linea_->estado().hechas > asentadas_) {
        const std::unique_ptr<EnLinea> en = std::move(enLinea_.front());
        enLinea_.pop_front();
        ++asentadas_;
        if (en->fallo) {
            // The message may have gone: its record and claim stay as they are.
            std::rethrow_exception(en->fallo);
        }
        const bool definitiva = esDefinitiva(en->vez, 0);
        concluida(en->etiqueta, responder(*en->preparado, std::move(en->vez)));
        if (!definitiva) {
            linea_->retomar();
        }
    }
}

std::optional<DesenlaceEnvio> IntentoEnvio::preparar(const Envio& envio, bool reenvioConfirmado) {
    // Before the claim: a document waiting for its turn is not held from other runs.
    if (auto sinTurno = esperarTurno()) {
        return sinTurno;
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
    try {
        return prepararConClaim(envio, reenvioConfirmado);
    } catch (...) {
        // Nothing of it went out: the claim goes with the failure.
        e_.reservas.soltar(envio.clave);
        throw;
    }
}

std::optional<DesenlaceEnvio> IntentoEnvio::prepararConClaim(const Envio& envio,
                                                             bool reenvioConfirmado) {
    // Read once: the bytes hashed for the ledger are the bytes that go out (on a share, one
    // read of the document over the network, not two).
    auto contenido = envio.archivo ? fs::readFile(*envio.archivo) : std::nullopt;
    // The list may be minutes old: another run may have mailed the document meanwhile. With
    // the claim held, what is on disk and in the ledger now is what counts. Opened, not looked
    // up: a network mount may answer a look-up from its cache for a second after another
    // machine renamed the file, while an open asks the server.
    if (envio.archivo && !contenido && (errno == ENOENT || errno == ENOTDIR)) {
        e_.reservas.soltar(envio.clave);
        return soloEstado(DesenlaceEnvio::Estado::YaNoPendiente);
    }
    auto p = std::make_unique<Preparado>();
    p->envio = envio;
    p->hash = contenido ? sha256OfText(*contenido) : std::string();
    if (contenido) {
        p->tamano = contenido->size();
    } else if (envio.archivo) {
        std::error_code error;
        p->tamano = std::filesystem::file_size(*envio.archivo, error);
    } else {
        p->tamano = envio.mensaje.size();
    }
    if (!p->hash.empty() && !reenvioConfirmado &&
        e_.registro.envioPrevio(envio.documento, p->hash)) {
        e_.reservas.soltar(envio.clave);
        return soloEstado(DesenlaceEnvio::Estado::Dudoso);
    }
    if (envio.archivo && !envio.contrasena.empty()) {
        if (e_.proteccion == nullptr) {
            throw std::logic_error("envío protegido sin motor PDF");
        }
        try {
            p->copia.emplace(e_.proteccion->pdf, *envio.archivo, envio.contrasena);
        } catch (const std::runtime_error& error) {
            // This document cannot go out protected; it is not sent, and the run goes on.
            e_.reservas.soltar(envio.clave);
            DesenlaceEnvio d;
            d.aviso = CuadroMensaje{error.what(), "Aviso", Icono::Critico, Botones::Aceptar};
            return d;
        }
        contenido = fs::readFile(p->copia->ruta());
        p->adjunto.sha256 = contenido ? sha256OfText(*contenido) : std::string();
    }
    // What goes out: the protected copy when there is one, else the document itself.
    p->adjunto.ruta = p->copia ? p->copia->ruta() : envio.archivo.value_or(std::filesystem::path());
    p->correo = componer(envio, p->adjunto);
    if (contenido) {
        p->correo->AdjuntarContenido(*contenido);
    }
    p->intento = anotar(envio, p->tamano, p->hash, p->adjunto.sha256);
    preparado_ = std::move(p);
    return std::nullopt;
}

// The answer to one try, and the tries that follow a "not now". Each further try is an attempt
// of its own, sent from this thread: nothing else is on the wire meanwhile.
DesenlaceEnvio IntentoEnvio::responder(const Preparado& p, Vez vez) {
    const Envio& envio = p.envio;
    bool puedeHaberSalido = true;
    try {
        for (std::size_t reintento = 0;; ++reintento) {
            if (vez.error) {
                // The message could not be put together: nothing left for the server.
                e_.registro.respuesta(vez.intento, RegistroEnvios::Resultado::Rechazado, "", "");
                e_.reservas.soltar(envio.clave);
                std::rethrow_exception(vez.error);
            }
            if (esDefinitiva(vez, reintento)) {
                contar(vez);
                return cerrar(envio, vez);
            }
            // The server said it did not take this try: the ledger says so, the claim stays for
            // the next one.
            e_.registro.respuesta(vez.intento, RegistroEnvios::Resultado::Rechazado,
                                  vez.constancia.messageId, vez.constancia.respuesta);
            puedeHaberSalido = false;
            const auto espera = std::max(kEsperasReintento.at(reintento),
                                         limites().esperaPorRitmo(reloj().ahora()));
            const std::string motivo =
                vez.constancia.respuesta.empty() || vez.constancia.respuesta.starts_with("2")
                    ? "para reintentar: se perdió la conexión con el servidor"
                    : "para reintentar: el servidor respondió «" + vez.constancia.respuesta + "»";
            if (!esperar(espera, motivo)) {
                e_.reservas.soltar(envio.clave);
                return soloEstado(DesenlaceEnvio::Estado::Cancelado);
            }
            const long long intento = anotar(envio, p.tamano, p.hash, p.adjunto.sha256);
            const auto oMail = componer(envio, p.adjunto);
            puedeHaberSalido = true;
            limites().anotarIntento(reloj().ahora());
            vez = enviar(*oMail, intento);
        }
    } catch (...) {
        // Whatever stopped the run before a try went out: the claim goes with it. After that
        // moment it stays, and its run being gone makes it "possibly sent".
        if (!puedeHaberSalido) {
            e_.reservas.soltar(envio.clave);
        }
        throw;
    }
}

std::unique_ptr<clsCDOmail> IntentoEnvio::componer(const Envio& envio, const Adjunto& adjunto) {
    auto oMail = std::make_unique<clsCDOmail>(e_.componente, e_.sonda);
    usarConfiguracion(*oMail, e_.correo);
    oMail->para = envio.para;
    oMail->Asunto = envio.asunto;
    oMail->Mensaje = envio.mensaje;
    oMail->Adjunto = adjunto.ruta.string();
    oMail->Confirmacion = envio.confirmacion;
    return oMail;
}

// On the wire's thread: the component and the message, nothing of the run.
IntentoEnvio::Vez IntentoEnvio::enviar(clsCDOmail& oMail, long long intento) {
    Vez vez;
    vez.intento = intento;
    oMail.Error = [&vez](const std::string& descripcion, long numero) {
        vez.aviso =
            CuadroMensaje{descripcion, std::to_string(numero), Icono::Critico, Botones::Aceptar};
    };
    try {
        vez.enviado = oMail.Enviar();
    } catch (const ErrorComponenteCorreo&) {
        vez.error = std::current_exception();
    }
    oMail.Error = nullptr;
    vez.constancia = oMail.UltimoEnvio();
    return vez;
}

// A prepared attempt whose message never went out: its record leaves the ledger, then its claim
// is released. A record that cannot be removed keeps the claim, and both say "possibly sent":
// a question for a person, never a second mailing.
void IntentoEnvio::descartar(Preparado& p) noexcept {
    try {
        e_.registro.descartar(p.intento);
        e_.reservas.soltar(p.envio.clave);
    } catch (...) {
    }
}

// The last try: no error, and no "not now" while tries are left.
bool IntentoEnvio::esDefinitiva(const Vez& vez, std::size_t reintento) {
    const bool otraVez = !vez.enviado && vez.constancia.transitorio &&
                         !vez.constancia.puedeHaberseEntregado &&
                         reintento < kEsperasReintento.size();
    return !vez.error && !otraVez;
}

// A message that may have reached its recipient counts for the daily cap from its answer on,
// before the next one goes.
void IntentoEnvio::contar(const Vez& vez) {
    if (vez.enviado || vez.constancia.puedeHaberseEntregado) {
        limites().anotarEnvio(reloj().ahora());
    }
}

// The box the component raised for the last try, then the answer recorded and acted on.
DesenlaceEnvio IntentoEnvio::cerrar(const Envio& envio, const Vez& vez) {
    if (vez.aviso) {
        e_.dialogos.mostrar(*vez.aviso);
    }
    return asentar(envio, vez);
}

DesenlaceEnvio IntentoEnvio::asentar(const Envio& envio, const Vez& vez) {
    const auto& constancia = vez.constancia;
    const auto resultado = vez.enviado ? RegistroEnvios::Resultado::Aceptado
                           : constancia.puedeHaberseEntregado
                               ? RegistroEnvios::Resultado::Incierto
                               : RegistroEnvios::Resultado::Rechazado;
    if (resultado != RegistroEnvios::Resultado::Rechazado) {
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

long long IntentoEnvio::anotar(const Envio& envio, std::uintmax_t tamano, const std::string& sha256,
                               const std::string& sha256Adjunto) {
    RegistroEnvios::Intento intento;
    intento.ejecucion = ejecucion_;
    intento.documento = envio.documento;
    intento.tamano = tamano;
    intento.sha256 = sha256;
    intento.sha256Adjunto = sha256Adjunto;
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
