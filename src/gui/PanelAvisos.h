#pragma once

#include "gui/Arte.h"

class QLineEdit;

namespace envio::gui {

class CuadroXP;
class GrupoEnlaces;

// PicMenu of the notice window: the box "Acciones" with the links "Enviar" (0) and "Salir" (1),
// and under it "Filtros de selección", where the clients' control digits narrow the list. Folding
// the first box moves the second up under it.
class PanelAvisos : public arte::Lienzo {
    Q_OBJECT
public:
    explicit PanelAvisos(QWidget* parent);

    // The filter is for the suite's clients only; it rests while a run works.
    void mostrarFiltro(bool visible);
    void filtroActivo(bool activo);

signals:
    void enlacePulsado(int indice);
    void filtroCambiado(const QString& texto);

private:
    void colocarFiltros();

    CuadroXP* p1_ = nullptr;
    CuadroXP* p2_ = nullptr;
    GrupoEnlaces* enlaces_ = nullptr;
    QLineEdit* txtFiltro_ = nullptr;
};

} // namespace envio::gui
