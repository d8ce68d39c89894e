#pragma once

#include "catalogue/ListaVista.h"

#include <QTreeView>
#include <QWidget>

class QMenu;

namespace envio::gui {

class ModeloDestinatarios;

// The recipient list: reports the right button's release with the pointer's position within it.
class VistaDestinatarios : public QTreeView {
    Q_OBJECT
public:
    explicit VistaDestinatarios(QWidget* parent = nullptr);

signals:
    void botonDerechoSoltado(const QPoint& enLista);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// The notice window's second tab, "  Direcciones e-mail  ": the recipients with their checks, the
// header that sorts them, and the pop-up menu (Menu) that checks all, none or the others.
class PaginaDestinatarios : public QWidget {
    Q_OBJECT
public:
    explicit PaginaDestinatarios(QWidget* parent = nullptr);
    ~PaginaDestinatarios() override;
    PaginaDestinatarios(const PaginaDestinatarios&) = delete;
    PaginaDestinatarios& operator=(const PaginaDestinatarios&) = delete;

    [[nodiscard]] ListaVista& lista() { return lista_; }
    [[nodiscard]] const ListaVista& lista() const { return lista_; }
    // After the list was filled again.
    void mostrarLista();

    // Where the pop-up menu opens for a right-button release at `enLista` (list coordinates), in
    // the window's coordinates.
    [[nodiscard]] QPoint puntoMenu(const QPoint& enLista) const;

private:
    void seleccion(const char* modo);
    void clicEnCabecera(int columna);

    ListaVista lista_;
    VistaDestinatarios* lv_ = nullptr;
    ModeloDestinatarios* modelo_ = nullptr;
    QMenu* menu_ = nullptr;
};

} // namespace envio::gui
