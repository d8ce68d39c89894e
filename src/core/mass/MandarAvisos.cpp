#include "mass/MandarAvisos.h"

#include "catalogue/AccionesDocumento.h"
#include "ledger/HistorialEnvios.h"
#include "mail/ErroresEjecucion.h"
#include "mail/IntentoEnvio.h"
#include "mail/LimitesEnvio.h"
#include "platform/Sha256.h"
#include "report/TablaInforme.h"

#include <ctime>
#include <optional>

namespace envio::masivo {
namespace {

constexpr std::string_view kAviso = "Aviso";
// A real server refuses an envelope address with blanks around it; the list keeps what the
// suite holds, only the copy that goes on the wire is cleaned.
std::string sinBlancosAlrededor(const std::string& texto) {
    const auto inicio = texto.find_first_not_of(" \t");
    if (inicio == std::string::npos) {
        return {};
    }
    return texto.substr(inicio, texto.find_last_not_of(" \t") - inicio + 1);
}

class Ejecucion {
public:
    Ejecucion(const std::vector<FilaLista>& filas, const PlantillaAviso& aviso, EntornoEnvio& e)
        : filas_(filas), aviso_(aviso), e_(e), intento_(e, horaUtc()) {}

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
        baseTrabajo_ = e_.carpeta.baseTrabajo();
        tabla_.emplace(baseTrabajo_);
    }

    void recorrer() {
        for (std::size_t i = 0; i < filas_.size(); ++i) {
            if (e_.cancelar) {
                resultado_.cancelado = true;
                break;
            }
            if (filas_[i].marcada && !enviarFila(filas_[i])) {
                break;
            }
        }
    }

    // False when the run must stop here: the account's daily cap, or Esc during a wait.
    bool enviarFila(const FilaLista& fila) {
        std::string copia = fila.subitems[0];
        if (!CompruebaDireccionEMail(copia)) {
            ++resultado_.direccionesIncorrectas;
            avisar("El correo del destinatario " + fila.texto + " es incorrecto.");
            return true;
        }
        const std::string para = sinBlancosAlrededor(fila.subitems[0]);
        Envio envio;
        envio.documento = documentoDeAviso(fila);
        // Two runs of one notice must not both reach the same person; another notice may.
        envio.clave = "aviso/" + para + "/" + sha256OfText(aviso_.asunto + "\n" + aviso_.mensaje);
        envio.para = para;
        envio.nombreListado = fila.texto;
        envio.asunto = aviso_.asunto;
        envio.mensaje = aviso_.mensaje;
        envio.confirmacion = aviso_.confirmacion;
        // The whole run was confirmed: a notice left in doubt by a stopped run goes again.
        const DesenlaceEnvio d = intento_.intentar(envio, true);
        if (d.estado == DesenlaceEnvio::Estado::Tope) {
            avisar("Se ha alcanzado el límite de " + std::to_string(e_.correo.limitePorDia) +
                   " mensajes al día de la cuenta: el aviso no se ha enviado a " + fila.texto +
                   " ni a los siguientes destinatarios marcados. Podrá continuar " +
                   fechaHoraLegible(d.reanudar) + ".");
            return false;
        }
        if (d.estado == DesenlaceEnvio::Estado::Cancelado) {
            resultado_.cancelado = true;
            return false;
        }
        if (d.estado == DesenlaceEnvio::Estado::Ocupado) {
            ++resultado_.noEnviados;
            avisar("El aviso para " + fila.texto + " lo está enviando " +
                   (d.otra ? describirTitular(*d.otra) : std::string("otro envío")) + ".");
            return true;
        }
        if (d.estado != DesenlaceEnvio::Estado::Enviado) {
            avisar("El correo del destinatario " + fila.texto + " es incorrecto.");
            ++resultado_.noEnviados;
            return true;
        }
        ++resultado_.enviados;
        // The report shows the list's own text; only the envelope needs it without blanks.
        tabla_->agregar(fila.texto, fila.subitems[0]);
        return true;
    }

    void mostrarInforme() {
        if (!tabla_ || tabla_->filas() == 0) {
            return;
        }
        tabla_->guardar();
        tabla_.reset();
        SolicitudInforme solicitud;
        solicitud.TituloInforme = "Comunicaciones masivas";
        solicitud.DetalleInforme = "Asunto: " + aviso_.asunto;
        solicitud.BaseDatosInforme = baseTrabajo_; // the file this run wrote
        solicitud.FicheroInforme = "9Fac0019.rpt";
        solicitud.usuario = e_.correo.usuario;
        resultado_.informeMostrado = true;
        e_.visor.mostrar(solicitud);
    }

    const std::vector<FilaLista>& filas_;
    const PlantillaAviso& aviso_;
    EntornoEnvio& e_;
    IntentoEnvio intento_;
    std::filesystem::path baseTrabajo_;
    std::optional<TablaInforme> tabla_;
    ResultadoAvisos resultado_;
};

} // namespace

std::string documentoDeAviso(const FilaLista& fila) {
    return std::string(kPrefijoAviso) + fila.texto;
}

ResultadoAvisos MandarAvisos(const std::vector<FilaLista>& filas, const PlantillaAviso& aviso,
                             EntornoEnvio& entorno) {
    return Ejecucion(filas, aviso, entorno).correr();
}

} // namespace envio::masivo
