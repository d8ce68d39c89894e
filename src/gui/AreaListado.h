#pragma once

#include "catalogue/Comandos.h"
#include "ui/DisposicionVentana.h"

#include <QObject>

class QComboBox;
class QLabel;
class QLineEdit;
class QPoint;
class QTabBar;
class QWidget;

namespace envio {
class PantallaPrincipal;
}

namespace envio::gui {

class ModeloDocumentos;
class VistaDocumentos;

// The main window's working area: the band that names what is listed (GRADIENTE) with the type
// selector on it, the month tabs standing on the frame that holds the document list and the
// search box, and the year tabs under that frame. Every event of these controls goes to the core's
// PantallaPrincipal and the area shows what comes back; the window places the parts.
class AreaListado : public QObject {
    Q_OBJECT
public:
    // The controls are made on `central`, the window's surface; `pantalla` must outlive them.
    AreaListado(PantallaPrincipal& pantalla, QWidget* central);
    ~AreaListado() override;
    AreaListado(const AreaListado&) = delete;
    AreaListado& operator=(const AreaListado&) = delete;

    // The first fill, with the tabs already on this year and this month; the search box gets the
    // focus when the window first shows.
    void iniciar();

    // The parts' places in the window's design (twips), and the parts placed at `marco`'s
    // outcome once disponerPrincipal has laid it out.
    void medidas(MarcoPrincipal& marco) const;
    void disponer(const MarcoPrincipal& marco);

    // After the folder changed (read it again), after the list was refilled, or after rows
    // changed in place (icons, colours, checks).
    void recargar();
    void mostrarRecarga(bool enfocarBusqueda = true);
    void mostrarFilasCambiadas();
    void mostrarFilaCambiada(int fila);

signals:
    // The band's text or the counters changed: the screen's labels are new.
    void etiquetasCambiadas();
    // A double click asks to see the document; the right button asks for the context menu.
    void accionPedida(envio::Accion accion);
    void menuPedido(const QPoint& global);

private:
    void construirBanda(QWidget* central);
    void construirPestanas(QWidget* central);
    void construirLista(QWidget* central);
    void conectar();
    void elegirMes(int indice);
    void elegirAnio(int indice);
    void mostrarEtiquetas();
    void mostrarOrden();

    PantallaPrincipal& pantalla_;
    bool cargando_ = true;
    QWidget* gradiente_ = nullptr;
    QLabel* lblDetalle_ = nullptr;
    QComboBox* combo1_ = nullptr;
    QWidget* marcoMeses_ = nullptr;
    QTabBar* tabMeses_ = nullptr;
    QWidget* marcoAnos_ = nullptr;
    QTabBar* tabAnos_ = nullptr;
    VistaDocumentos* lv_ = nullptr;
    ModeloDocumentos* modelo_ = nullptr;
    QLineEdit* txtBusqueda_ = nullptr;
};

} // namespace envio::gui
