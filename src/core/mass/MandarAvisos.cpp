#include "mass/MandarAvisos.h"

#include "catalogue/AccionesDocumento.h"
#include "database/BaseDatos.h"
#include "mail/ErroresEjecucion.h"
#include "mail/clsCDOmail.h"
#include "report/TablaTrabajo.h"

#include <ctime>
#include <memory>

namespace envio::masivo {
namespace {

constexpr std::string_view kAviso = "Aviso";
// A real server refuses an envelope address with blanks around it; the list keeps what the
// suite holds, only the copy that goes on the wire is cleaned.
std::string sinBlancosAlrededor(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

class Ejecucion {
public:
    Ejecucion(const std::vector<FilaLista>& filas, const PlantillaAviso& aviso, EntornoEnvio& e)
        : filas_(filas), aviso_(aviso), e_(e), inicio_(horaUtc()) {}

    ResultadoAvisos correr() {
        // Esc pressed before the run does not count; a window closed while the question is up
        // does, so the flag is cleared before the question, not after it.
        e_.cancelar = false;
        if (e_.dialogos.mostrar(
                {"Va a enviar un correo electrónico a todos los clientes seleccionados.\r"
                 "El correo incluirá el asunto y mensaje que haya indicado en la pestaña "
                 "'Mensaje de aviso'\r¿Confirma la acción?",
                 "Envío masivo de correos electrónicos", Icono::Informacion, Botones::SiNo}) !=
            Respuesta::Si) {
            return resultado_;
        }
        resultado_.confirmado = true;
        try {
            e_.observador.punteroOcupado(true);
            if (filas_.empty()) {
                resultado_.listaVacia = true;
                avisar("No tiene registrados correos electrónicos de destinatarios");
            } else {
                abrirTablaTrabajo();
                recorrer();
                e_.observador.punteroOcupado(false);
                avisar("Proceso concluido\r\n" + std::to_string(resultado_.enviados) +
                       " enviados.\r\n" + std::to_string(resultado_.noEnviados) + " no enviados.");
                mostrarInforme();
            }
        } catch (const Interrupcion& i) {
            interrumpir(i);
        } catch (const std::exception& error) {
            interrumpir(interrupcionDe(error));
        }
        e_.observador.punteroOcupado(false);
        return resultado_;
    }

private:
    void avisar(const std::string& texto) {
        e_.dialogos.mostrar({texto, std::string(kAviso), Icono::Informacion, Botones::Aceptar});
    }

    void interrumpir(const Interrupcion& i) {
        e_.observador.punteroOcupado(false);
        resultado_.salidaPorError = true;
        avisar(std::to_string(i.numero) + " " + i.descripcion);
    }

    void abrirTablaTrabajo() {
        db_ = BaseDatos::abrir(e_.carpeta.temporalMdb());
        db_->ejecutar("DELETE * FROM INFORMETMP2008");
    }

    void recorrer() {
        for (std::size_t i = 0; i < filas_.size(); ++i) {
            if (e_.cancelar) {
                resultado_.cancelado = true;
                break;
            }
            if (filas_[i].marcada) {
                enviarFila(filas_[i]);
            }
        }
    }

    void enviarFila(const FilaLista& fila) {
        std::string copia = fila.subitems[0];
        if (!CompruebaDireccionEMail(copia)) {
            ++resultado_.direccionesIncorrectas;
            avisar("El correo del destinatario " + fila.texto + " es incorrecto.");
            return;
        }
        const std::string para = sinBlancosAlrededor(fila.subitems[0]);
        const long long intento = anotarIntento(fila, para);
        bool enviado = false;
        try {
            enviado = enviarMensaje(para);
        } catch (const ErrorComponenteCorreo&) {
            e_.registro.respuesta(intento, RegistroEnvios::Resultado::Rechazado, "", "");
            throw;
        }
        const clsCDOmail::Constancia& c = constancia_;
        e_.registro.respuesta(intento,
                              enviado                   ? RegistroEnvios::Resultado::Aceptado
                              : c.puedeHaberseEntregado ? RegistroEnvios::Resultado::Incierto
                                                        : RegistroEnvios::Resultado::Rechazado,
                              c.messageId, c.respuesta);
        if (!enviado) {
            avisar("El correo del destinatario " + fila.texto + " es incorrecto.");
            ++resultado_.noEnviados;
            return;
        }
        ++resultado_.enviados;
        // The message is out: a value longer than a work-table field is shortened rather than
        // ending the run and losing the record of what was sent.
        // The report shows the list's own text; only the envelope needs it without blanks.
        db_->agregarRegistro(kTablaInforme,
                             {{"CAMPO1", Valor::texto(acortarCampo(fila.texto))},
                              {"CAMPO2", Valor::texto(acortarCampo(fila.subitems[0]))}});
        ++filasTabla_;
    }

    bool enviarMensaje(const std::string& para) {
        clsCDOmail oMail(e_.componente, e_.sonda);
        usarConfiguracion(oMail, e_.correo);
        oMail.Asunto = aviso_.asunto;
        oMail.Adjunto.clear();
        oMail.para = para;
        oMail.Mensaje = aviso_.mensaje;
        oMail.Confirmacion = aviso_.confirmacion;
        oMail.Error = [this](const std::string& descripcion, long numero) {
            e_.dialogos.mostrar(
                {descripcion, std::to_string(numero), Icono::Critico, Botones::Aceptar});
        };
        const bool enviado = oMail.Enviar();
        constancia_ = oMail.UltimoEnvio();
        return enviado;
    }

    long long anotarIntento(const FilaLista& fila, const std::string& para) {
        RegistroEnvios::Intento intento;
        intento.ejecucion = inicio_;
        intento.documento = documentoDeAviso(fila);
        intento.tamano = aviso_.mensaje.size();
        intento.destinatario = para;
        intento.hora = horaUtc();
        return e_.registro.antesDeEnviar(intento);
    }

    void mostrarInforme() {
        if (filasTabla_ == 0) {
            return;
        }
        db_.reset();
        SolicitudInforme solicitud;
        solicitud.TituloInforme = "Comunicaciones masivas";
        solicitud.DetalleInforme = "Asunto: " + aviso_.asunto;
        solicitud.BaseDatosInforme = e_.carpeta.temporalMdb();
        solicitud.FicheroInforme = "9Fac0019.rpt";
        solicitud.usuario = e_.correo.usuario;
        resultado_.informeMostrado = true;
        e_.visor.mostrar(solicitud);
    }

    const std::vector<FilaLista>& filas_;
    const PlantillaAviso& aviso_;
    EntornoEnvio& e_;
    std::string inicio_;
    std::unique_ptr<BaseDatos> db_;
    int filasTabla_ = 0;
    clsCDOmail::Constancia constancia_;
    ResultadoAvisos resultado_;
};

} // namespace

std::string documentoDeAviso(const FilaLista& fila) {
    return "Comunicaciones masivas: " + fila.texto;
}

ResultadoAvisos MandarAvisos(const std::vector<FilaLista>& filas, const PlantillaAviso& aviso,
                             EntornoEnvio& entorno) {
    return Ejecucion(filas, aviso, entorno).correr();
}

} // namespace envio::masivo
