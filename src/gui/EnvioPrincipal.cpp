#include "gui/EnvioPrincipal.h"

#include "catalogue/PantallaPrincipal.h"
#include "gui/FrmPrincipal.h"
#include "gui/FrmReporte.h"
#include "mail/MandarCorreos.h"
#include "mail/OpcionesComponente.h"
#include "platform/CurlMailTransport.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>

namespace envio::gui {
namespace {

// Runs `accion` on the window's thread; the worker goes on at once.
template <typename F> void enVentana(QObject* ventana, F accion) {
    QMetaObject::invokeMethod(ventana, std::move(accion), Qt::QueuedConnection);
}

// What the run shows, re-emitted on the window's thread. Rows are matched by the document they
// had when the run started, so the user may sort or filter the list meanwhile.
class ObservadorVentana : public ObservadorEnvio {
public:
    ObservadorVentana(FrmPrincipal& ventana, std::vector<std::string> etiquetas)
        : ventana_(ventana), etiquetas_(std::move(etiquetas)) {}

    void progresoVisible(bool visible) override {
        enVentana(&ventana_, [this, visible] {
            ventana_.Barra()->setVisible(visible);
            ventana_.lblBarra()->setVisible(visible);
        });
    }
    void progresoMaximo(int maximo) override {
        enVentana(&ventana_, [this, maximo] { ventana_.Barra()->setMaximum(maximo); });
    }
    void progresoValor(int valor) override {
        enVentana(&ventana_, [this, valor] {
            ventana_.Barra()->setValue(std::min(valor, ventana_.Barra()->maximum()));
        });
    }
    void textoProgreso(const std::string& texto) override {
        enVentana(&ventana_,
                  [this, t = QString::fromStdString(texto)] { ventana_.lblBarra()->setText(t); });
    }
    void punteroOcupado(bool ocupado) override {
        enVentana(&ventana_, [this, ocupado] {
            ventana_.setCursor(ocupado ? Qt::BusyCursor : Qt::ArrowCursor);
        });
    }
    void filaCambiada(std::size_t indice, const FilaLista& fila) override {
        enVentana(&ventana_, [this, etiqueta = etiquetas_.at(indice), fila] {
            ListaVista& lista = ventana_.pantalla().lista();
            for (std::size_t i = 0; i < lista.cantidad(); ++i) {
                FilaLista& actual = lista.fila(i);
                if (actual.etiqueta == etiqueta) {
                    actual.etiqueta = fila.etiqueta;
                    actual.icono = fila.icono;
                    actual.color = fila.color;
                    ventana_.mostrarFilaCambiada(static_cast<int>(i));
                    return;
                }
            }
        });
        etiquetas_.at(indice) = fila.etiqueta;
    }

private:
    FrmPrincipal& ventana_;
    std::vector<std::string> etiquetas_;
};

// The report window opens on the window's thread, modal over it; the run waits until it closes.
class InformeEnVentana : public VisorInforme {
public:
    explicit InformeEnVentana(FrmPrincipal& ventana) : ventana_(ventana) {}
    void mostrar(const SolicitudInforme& solicitud) override {
        QMetaObject::invokeMethod(
            &ventana_,
            [this, solicitud] {
                VisorInformeVentana(ventana_.pantalla().contexto().carpeta, &ventana_)
                    .mostrar(solicitud);
            },
            Qt::BlockingQueuedConnection);
    }

private:
    FrmPrincipal& ventana_;
};

} // namespace

EnvioPrincipal::EnvioPrincipal(FrmPrincipal& ventana) : ventana_(ventana) {
    ventana_.installEventFilter(this);
}

EnvioPrincipal::~EnvioPrincipal() {
    if (hilo_.joinable()) {
        if (enCurso_) {
            ventana_.blnCancelar().pedir();
        }
        hilo_.join();
    }
    ventana_.removeEventFilter(this);
}

void EnvioPrincipal::enviar() {
    if (enCurso_) {
        return;
    }
    if (hilo_.joinable()) {
        hilo_.join();
    }
    enCurso_ = true;
    // Rows and settings are copied here, on the window's thread: the user may sort the list or
    // save new settings while the run goes on.
    hilo_ = std::thread(&EnvioPrincipal::ejecutar, this, ventana_.pantalla().lista().filas(),
                        ventana_.pantalla().contexto().correo);
}

void EnvioPrincipal::ejecutar(std::vector<FilaLista> filas, ConfiguracionCorreo correo) {
    std::vector<std::string> etiquetas;
    for (const auto& f : filas) {
        etiquetas.push_back(f.etiqueta);
    }
    ObservadorVentana observador(ventana_, std::move(etiquetas));
    InformeEnVentana visor(ventana_);
    const ContextoAnfitrion& contexto = ventana_.pantalla().contexto();
    try {
        CurlMailTransport componente(opcionesComponente(contexto.carpeta));
        LinuxConnectivityProbe sonda;
        RegistroEnvios registro(RegistroEnvios::archivoEn(contexto.carpeta.ruta()));
        EntornoEnvio entorno{correo,
                             contexto.carpeta,
                             ventana_.dialogos(),
                             observador,
                             visor,
                             componente,
                             sonda,
                             registro,
                             ventana_.blnCancelar().bandera()};
        MandarCorreos(filas, entorno);
    } catch (const std::exception& e) {
        ventana_.dialogos().mostrar({e.what(), "Aviso", Icono::Critico, Botones::Aceptar});
    }
    enVentana(this, [this] { terminado(); });
}

void EnvioPrincipal::terminado() {
    enCurso_ = false;
    if (hilo_.joinable()) {
        hilo_.join();
    }
    ventana_.unsetCursor();
    if (cerrarAlTerminar_) {
        ventana_.close();
    }
}

bool EnvioPrincipal::eventFilter(QObject* objeto, QEvent* evento) {
    if (objeto == &ventana_ && evento->type() == QEvent::Close && enCurso_) {
        cerrarAlTerminar_ = true;
        ventana_.blnCancelar().pedir();
        evento->ignore();
        return true;
    }
    return QObject::eventFilter(objeto, evento);
}

} // namespace envio::gui
