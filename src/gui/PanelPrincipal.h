#pragma once

#include "catalogue/Catalogo.h"
#include "gui/Arte.h"

class QLabel;
class QProgressBar;

namespace envio::gui {

class CuadroXP;
class GrupoEnlaces;

// PicMenu, the main window's blue side panel: three boxes, each standing the same gap under the
// one above whether that one is folded or not. "Acciones" and "Opciones de selección" hold the
// command links; "Información de sesión" the list's counters and, under them, a run's progress.
class PanelPrincipal : public arte::Lienzo {
public:
    explicit PanelPrincipal(QWidget* parent);

    [[nodiscard]] GrupoEnlaces& enlaces() const { return *enlaces_; }
    void mostrarContadores(const EtiquetasLista& etiquetas);

    // What a sending run shows of its progress.
    void progresoVisible(bool visible);
    void progresoMaximo(int maximo);
    void progresoValor(int valor);
    void textoProgreso(const QString& texto);

private:
    void construirEnlaces();
    void construirSesion();
    void apilarDesde(const CuadroXP* cuadro);

    CuadroXP* p1_ = nullptr;
    CuadroXP* p2_ = nullptr;
    CuadroXP* p3_ = nullptr;
    GrupoEnlaces* enlaces_ = nullptr;
    QLabel* lblCuenta_ = nullptr;
    QLabel* lblFacSel_ = nullptr;
    QProgressBar* barra_ = nullptr;
    QLabel* lblBarra_ = nullptr;
};

} // namespace envio::gui
