#include "mail/MandarCorreos.h"

#include "catalogue/AccionesDocumento.h"
#include "catalogue/MoverDocumento.h"
#include "database/ErrorBaseDatos.h"
#include "database/Texto.h"
#include "ledger/DocumentosDudosos.h"
#include "mail/ErroresEjecucion.h"
#include "mail/IntentoEnvio.h"
#include "mail/LimitesEnvio.h"
#include "platform/Sha256.h"
#include "report/TablaInforme.h"
#include "revision/Nif.h"

#include <optional>

namespace envio {
namespace {

constexpr std::string_view kAviso = "Aviso";
// The question names this many documents, then says how many more there are.
constexpr std::size_t kNombradosEnPregunta = 5;

std::string fileName(const std::string& etiqueta) {
    const auto slash = etiqueta.find_last_of("/\\");
    return slash == std::string::npos ? etiqueta : etiqueta.substr(slash + 1);
}

std::string listaParaCuadro(const std::vector<std::string>& lineas) {
    std::string texto;
    for (std::size_t i = 0; i < lineas.size() && i < kNombradosEnPregunta; ++i) {
        texto += "\r\n- " + lineas[i];
    }
    if (lineas.size() > kNombradosEnPregunta) {
        texto += "\r\ny " + std::to_string(lineas.size() - kNombradosEnPregunta) + " más";
    }
    return texto;
}

// The row's address as the check leaves it (lower case, no blanks); nothing when it is no address.
std::optional<std::string> direccionDe(const FilaLista& fila) {
    std::string direccion = fila.subitems[0];
    if (!CompruebaDireccionEMail(direccion)) {
        return std::nullopt;
    }
    return direccion;
}

class Ejecucion {
public:
    Ejecucion(std::vector<FilaLista>& filas, EntornoEnvio& e)
        : filas_(filas), e_(e), intento_(e, horaUtc()), omitir_(filas.size(), false) {}

    ResultadoEnvios correr() {
        e_.observador.progresoVisible(true);
        e_.observador.progresoValor(1);
        e_.observador.progresoMaximo(static_cast<int>(filas_.size()) + 1);
        e_.observador.textoProgreso("Enviando ...");
        try {
            e_.cancelar = false;
            baseTrabajo_ = e_.carpeta.baseTrabajo();
            tabla_.emplace(baseTrabajo_);
            if (!decidirReenvios()) {
                e_.observador.progresoVisible(false);
                resultado_.declinado = true;
                return terminar();
            }
            recorrer();
            asentarRegistro();
            e_.observador.progresoVisible(false);
            avisarTope();
            avisarOcupados();
            mostrarInforme();
        } catch (const Interrupcion& i) {
            interrumpir(i);
        } catch (const std::exception& error) {
            interrumpir(interrupcionDe(error));
        }
        return terminar();
    }

private:
    ResultadoEnvios terminar() {
        int checked = 0;
        for (const auto& f : filas_) {
            checked += f.marcada ? 1 : 0;
        }
        resultado_.noEnviados = checked - resultado_.enviados;
        return resultado_;
    }

    // The run's last ledger writes go to disk and the history's index catches up, off the
    // sending path. Should this fail, the next open of the ledger does it.
    void asentarRegistro() {
        try {
            e_.registro.indexarPendientes();
        } catch (const ErrorBaseDatos&) {
        }
    }

    void interrumpir(const Interrupcion& i) {
        // A message still on the wire is settled all the same: a document the server took gets
        // its sent name. What goes wrong there too is this failure's consequence.
        try {
            intento_.terminar(alConcluir());
        } catch (const std::exception&) {
        }
        asentarRegistro();
        e_.observador.punteroOcupado(false);
        e_.observador.progresoVisible(false);
        resultado_.salidaPorError = true;
        mostrarInterrupcion(e_.dialogos, i);
    }

    // Asks once about every checked document that may have gone out already, naming them; an
    // unattended run skips them instead. False when the user declined.
    bool decidirReenvios() {
        const DocumentosDudosos dudosos(e_.registro, e_.reservas);
        std::vector<std::string> lineas;
        std::vector<std::size_t> indices;
        for (std::size_t i = 0; i < filas_.size(); ++i) {
            if (!filas_[i].marcada) {
                continue;
            }
            if (auto motivo = motivoYaEnviado(filas_[i], dudosos, e_.reservas, e_.registro)) {
                lineas.push_back(fileName(filas_[i].etiqueta) + ": " + *motivo);
                indices.push_back(i);
            }
        }
        if (lineas.empty()) {
            return true;
        }
        if (e_.dudosos == ReenvioDudosos::Omitir) {
            for (std::size_t n = 0; n < indices.size(); ++n) {
                omitir_[indices[n]] = true;
                resultado_.dudososOmitidos.push_back(lineas[n]);
            }
            return true;
        }
        reenvioConfirmado_ =
            e_.dialogos.mostrar(
                {"En la selección actual tiene mensajes que ya fueron enviados." +
                     listaParaCuadro(lineas) + "\r\n¿Confirma que desea reenviarlos?",
                 std::string(kAviso), Icono::Pregunta, Botones::SiNo}) == Respuesta::Si;
        return reenvioConfirmado_;
    }

    void recorrer() {
        e_.observador.punteroOcupado(true);
        int valor = 1;
        for (std::size_t i = 0; i < filas_.size(); ++i) {
            if (e_.cancelar) {
                resultado_.cancelado = true;
                break;
            }
            if (filas_[i].marcada && !omitir_[i]) {
                enviarFila(i);
            }
            if (resultado_.reanudar) {
                break;
            }
            e_.observador.punteroOcupado(false);
            e_.observador.progresoValor(++valor);
            if (e_.cancelar) {
                resultado_.cancelado = true;
                break;
            }
        }
        intento_.terminar(alConcluir());
    }

    void pintarDeRojo(std::size_t i) {
        filas_[i].color = kColorError;
        ++resultado_.fallidos;
        e_.observador.filaCambiada(i, filas_[i]);
    }

    // The outcome of a row whose message went to the line.
    IntentoEnvio::Concluida alConcluir() {
        return [this](std::size_t fila, const DesenlaceEnvio& d) { tratar(fila, d); };
    }

    // The row's message goes to the line while the rows before it are settled; a row that does
    // not go is told after them, so the boxes keep the list's order.
    void enviarFila(std::size_t i) {
        Envio envio;
        if (!componerEnvio(filas_[i], envio)) {
            intento_.terminar(alConcluir());
            pintarDeRojo(i);
            return;
        }
        if (const auto sinSalir = intento_.encadenar(i, envio, reenvioConfirmado_, alConcluir())) {
            tratar(i, *sinSalir);
        }
    }

    // False when the row cannot go: an address that is no address, or a payslip that cannot be
    // protected.
    bool componerEnvio(const FilaLista& fila, Envio& envio) const {
        const auto para = direccionDe(fila);
        if (!para) {
            return false;
        }
        envio.documento = fila.etiqueta;
        envio.clave = Reservas::claveDe(fila.etiqueta);
        if (!sinBlancos(fila.etiqueta).empty()) {
            envio.archivo = fila.etiqueta;
        }
        envio.para = *para;
        envio.nombreListado = fila.texto;
        envio.asunto = e_.correo.asunto;
        envio.mensaje = e_.correo.mensaje;
        envio.confirmacion = e_.correo.pideConfirmacionLeido();
        return proteger(fila, envio);
    }

    void tratar(std::size_t i, const DesenlaceEnvio& d) {
        const FilaLista& fila = filas_[i];
        const std::string para = direccionDe(fila).value_or("");
        if (d.aviso) {
            e_.dialogos.mostrar(*d.aviso);
        }
        switch (d.estado) {
        case DesenlaceEnvio::Estado::Enviado:
            enviada(i, para, d);
            return;
        case DesenlaceEnvio::Estado::NoEnviado:
        case DesenlaceEnvio::Estado::Incierto:
            noEnviada(i, para, d);
            return;
        case DesenlaceEnvio::Estado::Ocupado:
            resultado_.ocupados.push_back(fileName(fila.etiqueta) + ": lo está enviando " +
                                          (d.otra ? describirTitular(*d.otra) : "otro envío"));
            return;
        case DesenlaceEnvio::Estado::YaNoPendiente:
            resultado_.ocupados.push_back(fileName(fila.etiqueta) +
                                          ": otro envío lo ha marcado ya como enviado");
            return;
        case DesenlaceEnvio::Estado::Tope:
            detenerPorTope(i, d.reanudar);
            return;
        case DesenlaceEnvio::Estado::Cancelado:
            resultado_.cancelado = true;
            return;
        case DesenlaceEnvio::Estado::Dudoso:
            resultado_.dudososOmitidos.push_back(
                fileName(fila.etiqueta) + ": " +
                (d.otra ? "envío interrumpido de " + describirTitular(*d.otra)
                        : std::string("ya se intentó enviar")));
            return;
        }
    }

    // A payroll document goes out protected with the NIF of its file name, unless its employee
    // asked for none; one whose NIF does not pass is never sent in the clear (false).
    bool proteger(const FilaLista& fila, Envio& envio) const {
        if (e_.proteccion == nullptr || !envio.archivo) {
            return true;
        }
        const auto nif = nifValido(nifDelDocumento(fila.etiqueta));
        if (!nif) {
            return false;
        }
        if (e_.proteccion->sinContrasena.contains(*nif)) {
            return true;
        }
        envio.contrasena = *nif;
        if (!e_.proteccion->linea.empty()) {
            envio.mensaje += (envio.mensaje.empty() ? "" : "\r\n\r\n") + e_.proteccion->linea;
        }
        return true;
    }

    void noEnviada(std::size_t i, const std::string& para, const DesenlaceEnvio& d) {
        if (d.estado == DesenlaceEnvio::Estado::Incierto) {
            filas_[i].dudoso = "sin respuesta del servidor al enviarlo a " + para;
        }
        e_.observador.punteroOcupado(false);
        e_.dialogos.mostrar({"El programa no pudo procesar el mensaje para " + para +
                                 "\r\nEl mensaje no será enviado",
                             std::string(kAviso), Icono::Critico, Botones::Aceptar});
        pintarDeRojo(i);
        e_.observador.progresoVisible(false);
    }

    void enviada(std::size_t i, const std::string& para, const DesenlaceEnvio& d) {
        FilaLista& fila = filas_[i];
        const std::string nombre = fileName(fila.etiqueta);
        fila.icono = kIconoEnviado;
        fila.dudoso.clear();
        if (!d.ruta.empty()) {
            fila.etiqueta = d.ruta.string();
        }
        ++resultado_.enviados;
        e_.observador.filaCambiada(i, fila);
        if (!d.errorMarcado.empty()) {
            // The message is out; the next start on this machine finishes the rename.
            e_.dialogos.mostrar(
                {"El documento " + nombre +
                     " se ha enviado, pero no se pudo marcar como enviado: " + d.errorMarcado,
                 std::string(kAviso), Icono::Exclamacion, Botones::Aceptar});
        }
        tabla_->agregar(fila.texto, para, fileName(fila.etiqueta));
    }

    // The cap is the account's, not this document's: the run stops here, leaving this row and
    // every later one pending.
    void detenerPorTope(std::size_t desde, std::chrono::system_clock::time_point reanudar) {
        resultado_.reanudar = reanudar;
        for (std::size_t i = desde; i < filas_.size(); ++i) {
            resultado_.pendientesPorTope += filas_[i].marcada && !omitir_[i] ? 1 : 0;
        }
    }

    void avisarTope() {
        if (!resultado_.reanudar) {
            return;
        }
        e_.dialogos.mostrar({"Se ha alcanzado el límite de " +
                                 std::to_string(e_.correo.limitePorDia) +
                                 " mensajes al día de la cuenta. Quedan " +
                                 std::to_string(resultado_.pendientesPorTope) +
                                 " documentos sin enviar; podrá continuar " +
                                 fechaHoraLegible(*resultado_.reanudar) +
                                 ". Vuelva a enviarlos entonces: siguen pendientes.",
                             std::string(kAviso), Icono::Informacion, Botones::Aceptar});
    }

    // One box at the end for what another run was working on: they are its documents now.
    void avisarOcupados() {
        if (resultado_.ocupados.empty()) {
            return;
        }
        e_.dialogos.mostrar({"Otro envío estaba trabajando con estos documentos; este envío no "
                             "los ha tocado:" +
                                 listaParaCuadro(resultado_.ocupados),
                             std::string(kAviso), Icono::Informacion, Botones::Aceptar});
    }

    void mostrarInforme() {
        if (tabla_->filas() == 0) {
            return;
        }
        tabla_->guardar();
        tabla_.reset();
        SolicitudInforme solicitud;
        solicitud.TituloInforme = "Envio de facturas";
        solicitud.DetalleInforme = "Asunto: " + e_.correo.asunto;
        solicitud.BaseDatosInforme = baseTrabajo_; // the file this run wrote
        solicitud.FicheroInforme = "9Fac0019.rpt";
        solicitud.usuario = e_.correo.usuario;
        e_.visor.mostrar(solicitud);
    }

    std::vector<FilaLista>& filas_;
    EntornoEnvio& e_;
    IntentoEnvio intento_;
    std::vector<bool> omitir_;
    bool reenvioConfirmado_ = false;
    std::filesystem::path baseTrabajo_;
    std::optional<TablaInforme> tabla_;
    ResultadoEnvios resultado_;
};

} // namespace

std::optional<std::string> motivoYaEnviado(const FilaLista& fila, const DocumentosDudosos& dudosos,
                                           Reservas& reservas, RegistroEnvios& registro) {
    if (fila.icono == kIconoEnviado) {
        return "ya marcado como enviado";
    }
    // Read again now, not from the list's moment: another run may have taken it since. Its
    // run settles it; this one will find it held or marked.
    if (dudosos.enCurso(fila.etiqueta)) {
        return std::nullopt;
    }
    const auto enManosDeOtro = [&reservas, &fila] {
        const auto reserva = reservas.leer(Reservas::claveDe(fila.etiqueta));
        return reserva && !reserva->dudosa;
    };
    if (enManosDeOtro()) {
        return std::nullopt;
    }
    if (auto motivo = dudosos.motivo(fila.etiqueta)) {
        return motivo;
    }
    // The contents are read only when the ledger names this path: a month's new documents are
    // not read before their turn.
    if (!registro.hayEnvioPrevio(fila.etiqueta)) {
        return std::nullopt;
    }
    const auto hash = sha256OfFile(fila.etiqueta);
    const auto previo = hash ? registro.envioPrevio(fila.etiqueta, *hash) : std::nullopt;
    // The ledger is read after the claim: a run that took the document and mailed it in
    // between has its claim there now, and it is that run's to settle.
    if (previo && !enManosDeOtro()) {
        return "enviado el " + horaLegible(previo->hora) + " a " + previo->destinatario;
    }
    return std::nullopt;
}

std::filesystem::path rutaEnviada(const std::string& etiqueta) {
    return sinUltimosCaracteres(etiqueta, 3) + "ENVIADO.PDF";
}

ResultadoEnvios MandarCorreos(std::vector<FilaLista>& filas, EntornoEnvio& entorno) {
    return Ejecucion(filas, entorno).correr();
}

} // namespace envio
