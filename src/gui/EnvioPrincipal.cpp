#include "gui/EnvioPrincipal.h"

#include "catalogue/PantallaPrincipal.h"
#include "gui/FrmPrincipal.h"
#include "gui/FrmReporte.h"
#include "gui/PanelPrincipal.h"
#include "mail/ErroresEjecucion.h"
#include "mail/MandarCorreos.h"
#include "mail/PuestoEnvio.h"
#include "revision/EnvioRevisado.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMetaObject>
#include <system_error>

namespace envio::gui {
namespace {

// Runs `accion` on the window's thread; the worker goes on at once.
template <typename F> void enVentana(QObject* ventana, F accion) {
    QMetaObject::invokeMethod(ventana, std::move(accion), Qt::QueuedConnection);
}

// What the run shows, re-emitted on the window's thread. Rows are matched by the document they
// had when the run started, so the user may sort or filter the list meanwhile. The queued
// updates hold the window, never this observer: they may still be waiting when the run has
// ended and the observer is gone.
class ObservadorVentana : public ObservadorEnvio {
public:
    ObservadorVentana(FrmPrincipal& ventana, std::vector<std::string> etiquetas)
        : ventana_(&ventana), etiquetas_(std::move(etiquetas)) {}

    void progresoVisible(bool visible) override {
        enVentana(ventana_, [v = ventana_, visible] { v->panel().progresoVisible(visible); });
    }
    void progresoMaximo(int maximo) override {
        enVentana(ventana_, [v = ventana_, maximo] { v->panel().progresoMaximo(maximo); });
    }
    void progresoValor(int valor) override {
        enVentana(ventana_, [v = ventana_, valor] { v->panel().progresoValor(valor); });
    }
    void textoProgreso(const std::string& texto) override {
        enVentana(ventana_, [v = ventana_, t = QString::fromStdString(texto)] {
            v->panel().textoProgreso(t);
        });
    }
    void punteroOcupado(bool ocupado) override {
        enVentana(ventana_, [v = ventana_, ocupado] {
            v->setCursor(ocupado ? Qt::BusyCursor : Qt::ArrowCursor);
        });
    }
    void filaCambiada(std::size_t indice, const FilaLista& fila) override {
        enVentana(ventana_, [v = ventana_, etiqueta = etiquetas_.at(indice), fila] {
            ListaVista& lista = v->pantalla().lista();
            for (std::size_t i = 0; i < lista.cantidad(); ++i) {
                FilaLista& actual = lista.fila(i);
                if (actual.etiqueta == etiqueta) {
                    actual.etiqueta = fila.etiqueta;
                    actual.icono = fila.icono;
                    actual.color = fila.color;
                    actual.dudoso = fila.dudoso;
                    v->mostrarFilaCambiada(static_cast<int>(i));
                    return;
                }
            }
        });
        etiquetas_.at(indice) = fila.etiqueta;
    }

private:
    FrmPrincipal* ventana_;
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
    // Rows and settings are copied here, on the window's thread: the user may sort the list or
    // save new settings while the run goes on.
    enCurso_ = true;
    try {
        hilo_ = std::thread(&EnvioPrincipal::ejecutar, this, ventana_.pantalla().lista().filas(),
                            ventana_.pantalla().contexto().correo());
    } catch (const std::system_error& e) {
        enCurso_ = false;
        ventana_.dialogos().mostrar({std::string("No se pudo empezar el envío: ") + e.what(),
                                     "Aviso", Icono::Critico, Botones::Aceptar});
        return;
    }
    ventana_.envioEnCurso(true);
}

void EnvioPrincipal::ejecutar(std::vector<FilaLista> filas, const ConfiguracionCorreo& correo) {
    std::vector<std::string> etiquetas;
    etiquetas.reserve(filas.size());
    for (const auto& f : filas) {
        etiquetas.push_back(f.etiqueta);
    }
    ObservadorVentana observador(ventana_, std::move(etiquetas));
    InformeEnVentana visor(ventana_);
    const ContextoAnfitrion& contexto = ventana_.pantalla().contexto();
    try {
        PuestoEnvio puesto(contexto.carpeta);
        EntornoEnvio entorno = puesto.entorno(correo, ventana_.dialogos(), observador, visor,
                                              ventana_.blnCancelar().bandera());
        const MediosRevision medios{puesto.pdf(), [&] { return puesto.tamanoServidor(correo); }};
        EnviarRevisado(filas, contexto.modo, entorno, medios);
    } catch (const std::exception& e) {
        // The mail component or the ledger could not be set up: the run's own error exit.
        mostrarInterrupcion(ventana_.dialogos(), interrupcionDe(e));
    }
    enVentana(this, [this] { terminado(); });
}

void EnvioPrincipal::terminado() {
    enCurso_ = false;
    if (hilo_.joinable()) {
        hilo_.join();
    }
    ventana_.envioEnCurso(false);
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
