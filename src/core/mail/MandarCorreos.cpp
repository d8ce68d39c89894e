#include "mail/MandarCorreos.h"

#include "catalogue/AccionesDocumento.h"
#include "catalogue/Catalogo.h"
#include "catalogue/MoverDocumento.h"
#include "database/Texto.h"
#include "mail/ErroresEjecucion.h"
#include "mail/clsCDOmail.h"
#include "platform/Sha256.h"
#include "report/TablaInforme.h"

#include <chrono>
#include <ctime>
#include <optional>

namespace envio {
namespace {

constexpr std::string_view kAviso = "Aviso";
std::string fileName(const std::string& etiqueta) {
    const auto slash = etiqueta.find_last_of("/\\");
    return slash == std::string::npos ? etiqueta : etiqueta.substr(slash + 1);
}

class Ejecucion {
public:
    Ejecucion(std::vector<FilaLista>& filas, EntornoEnvio& e)
        : filas_(filas), e_(e), inicio_(horaUtc()) {}

    ResultadoEnvios correr() {
        e_.observador.progresoVisible(true);
        e_.observador.progresoValor(1);
        e_.observador.progresoMaximo(static_cast<int>(filas_.size()) + 1);
        e_.observador.textoProgreso("Enviando ...");
        try {
            e_.cancelar = false;
            tabla_.emplace(e_.carpeta.temporalMdb());
            if (!confirmarReenvios()) {
                e_.observador.progresoVisible(false);
                resultado_.declinado = true;
                return terminar();
            }
            recorrer();
            e_.observador.progresoVisible(false);
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

    void interrumpir(const Interrupcion& i) {
        e_.observador.punteroOcupado(false);
        e_.observador.progresoVisible(false);
        resultado_.salidaPorError = true;
        mostrarInterrupcion(e_.dialogos, i);
    }

    // A checked row counts as already sent when it shows the sent icon, or when the ledger says
    // that this very file (same path, same contents) may already be with its recipient.
    bool yaEnviado(const FilaLista& fila) {
        if (fila.icono == kIconoEnviado) {
            return true;
        }
        const auto hash = sha256DeArchivo(fila.etiqueta);
        return hash && e_.registro.envioPrevio(fila.etiqueta, *hash).has_value();
    }

    bool confirmarReenvios() {
        for (const auto& fila : filas_) {
            if (fila.marcada && yaEnviado(fila)) {
                return e_.dialogos.mostrar({"En la selección actual tiene mensajes que ya fueron "
                                            "enviados.\r\n¿Confirma que desea reenviarlos?",
                                            std::string(kAviso), Icono::Pregunta, Botones::SiNo}) ==
                       Respuesta::Si;
            }
        }
        return true;
    }

    void recorrer() {
        e_.observador.punteroOcupado(true);
        int valor = 1;
        for (std::size_t i = 0; i < filas_.size(); ++i) {
            if (e_.cancelar) {
                resultado_.cancelado = true;
                break;
            }
            if (filas_[i].marcada) {
                enviarFila(i);
            }
            e_.observador.punteroOcupado(false);
            e_.observador.progresoValor(++valor);
            if (e_.cancelar) {
                resultado_.cancelado = true;
                break;
            }
        }
    }

    void pintarDeRojo(std::size_t i) {
        filas_[i].color = kColorError;
        ++resultado_.fallidos;
        e_.observador.filaCambiada(i, filas_[i]);
    }

    clsCDOmail::Constancia enviarMensaje(const FilaLista& fila, const std::string& para,
                                         bool& enviado) {
        const ConfiguracionCorreo& c = e_.correo;
        clsCDOmail oMail(e_.componente, e_.sonda);
        usarConfiguracion(oMail, c);
        oMail.para = para;
        oMail.Asunto = c.asunto;
        oMail.Mensaje = c.mensaje;
        if (!sinBlancos(fila.etiqueta).empty()) {
            oMail.Adjunto = fila.etiqueta;
        }
        oMail.Confirmacion = c.pideConfirmacionLeido();
        oMail.Error = [this](const std::string& descripcion, long numero) {
            e_.dialogos.mostrar(
                {descripcion, std::to_string(numero), Icono::Critico, Botones::Aceptar});
        };
        enviado = oMail.Enviar();
        return oMail.UltimoEnvio();
    }

    long long anotarIntento(const FilaLista& fila, const std::string& para) {
        RegistroEnvios::Intento intento;
        intento.ejecucion = inicio_;
        intento.documento = fila.etiqueta;
        std::error_code error;
        intento.tamano = std::filesystem::file_size(fila.etiqueta, error);
        intento.sha256 = sha256DeArchivo(fila.etiqueta).value_or("");
        intento.destinatario = para;
        intento.hora = horaUtc();
        return e_.registro.antesDeEnviar(intento);
    }

    void enviarFila(std::size_t i) {
        FilaLista& fila = filas_[i];
        std::string para = fila.subitems[0];
        if (!CompruebaDireccionEMail(para)) {
            pintarDeRojo(i);
            return;
        }
        const long long intento = anotarIntento(fila, para);
        bool enviado = false;
        clsCDOmail::Constancia constancia;
        try {
            constancia = enviarMensaje(fila, para, enviado);
        } catch (const ErrorComponenteCorreo&) {
            e_.registro.respuesta(intento, RegistroEnvios::Resultado::Rechazado, "", "");
            throw;
        }
        e_.registro.respuesta(intento,
                              enviado ? RegistroEnvios::Resultado::Aceptado
                              : constancia.puedeHaberseEntregado
                                  ? RegistroEnvios::Resultado::Incierto
                                  : RegistroEnvios::Resultado::Rechazado,
                              constancia.messageId, constancia.respuesta);
        if (!enviado) {
            e_.observador.punteroOcupado(false);
            e_.dialogos.mostrar({"El programa no pudo procesar el mensaje para " + para +
                                     "\r\nEl mensaje no será enviado",
                                 std::string(kAviso), Icono::Critico, Botones::Aceptar});
            pintarDeRojo(i);
            e_.observador.progresoVisible(false);
            return;
        }
        fila.icono = kIconoEnviado;
        const bool renombrado = marcarEnviado(fila);
        ++resultado_.enviados;
        e_.observador.filaCambiada(i, fila);
        // The ledger learns the sent name before the work table, which may fail: the next start
        // must not find an accepted document that it cannot account for. Should the ledger fail
        // instead, the row already shows what happened to the file.
        if (renombrado) {
            e_.registro.renombrado(intento, fila.etiqueta);
        }
        tabla_->agregar(fila.texto, para, fileName(fila.etiqueta));
    }

    // The message is with the server: from here on nothing may make the document look pending.
    // A file that cannot be renamed keeps its name, and the ledger lets the next start finish
    // the rename; the user is told which one. True when the file is under its sent name.
    bool marcarEnviado(FilaLista& fila) {
        if (estaEnviado(fileName(fila.etiqueta))) {
            return true;
        }
        try {
            fila.etiqueta = moverDocumento(fila.etiqueta, rutaEnviada(fila.etiqueta)).string();
            return true;
        } catch (const std::runtime_error& error) {
            e_.dialogos.mostrar(
                {"El documento " + fileName(fila.etiqueta) +
                     " se ha enviado, pero no se pudo marcar como enviado: " + error.what(),
                 std::string(kAviso), Icono::Exclamacion, Botones::Aceptar});
            return false;
        }
    }

    void mostrarInforme() {
        if (tabla_->filas() == 0) {
            return;
        }
        tabla_.reset();
        SolicitudInforme solicitud;
        solicitud.TituloInforme = "Envio de facturas";
        solicitud.DetalleInforme = "Asunto: " + e_.correo.asunto;
        solicitud.BaseDatosInforme = e_.carpeta.temporalMdb();
        solicitud.FicheroInforme = "9Fac0019.rpt";
        solicitud.usuario = e_.correo.usuario;
        e_.visor.mostrar(solicitud);
    }

    std::vector<FilaLista>& filas_;
    EntornoEnvio& e_;
    std::string inicio_;
    std::optional<TablaInforme> tabla_;
    ResultadoEnvios resultado_;
};

} // namespace

std::filesystem::path rutaEnviada(const std::string& etiqueta) {
    return sinUltimosCaracteres(etiqueta, 3) + "ENVIADO.PDF";
}

ResultadoEnvios MandarCorreos(std::vector<FilaLista>& filas, EntornoEnvio& entorno) {
    return Ejecucion(filas, entorno).correr();
}

} // namespace envio
