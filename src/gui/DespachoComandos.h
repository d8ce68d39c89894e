#pragma once

#include "catalogue/Comandos.h"
#include "catalogue/PantallaPrincipal.h"
#include "ui/Dialogos.h"

#include <QObject>
#include <thread>
#include <utility>
#include <vector>

class QAction;
class QMenu;
class QWidget;

namespace envio::gui {

class GrupoEnlaces;

// Where the main window's commands meet the core: the command links, the list's context menu
// (MnuCabeza) and any other command reach PantallaPrincipal here and come back as the effect the
// window shows. Deleting runs on a worker thread, the question included, so that a folder of many
// documents never freezes the window. While a sending run or a deletion works on the documents,
// the commands that would touch the same files, the work table or the settings are refused and
// shown disabled.
class DespachoComandos : public QObject {
    Q_OBJECT
public:
    // The menu belongs to `ventana`, which also shows the busy pointer of a deletion.
    DespachoComandos(PantallaPrincipal& pantalla, Dialogos& dialogos, GrupoEnlaces& enlaces,
                     QWidget* ventana);
    ~DespachoComandos() override;
    DespachoComandos(const DespachoComandos&) = delete;
    DespachoComandos& operator=(const DespachoComandos&) = delete;

    [[nodiscard]] QMenu& menu() const { return *mnuCabeza_; }

    void ejecutar(Accion accion);
    void ejecutarEnlace(int indice);

    [[nodiscard]] bool borrando() const { return borrado_.joinable(); }
    [[nodiscard]] bool trabajando() const { return envioEnCurso_ || borrado_.joinable(); }
    void envioEnCurso(bool enCurso);
    // A deletion may still ask or report something through the window's boxes: closing waits
    // for it, and Salir follows when it ends. False when nothing is under way.
    bool aplazarCierre();

signals:
    void efecto(envio::Efecto efecto);

private:
    void construirMenu(QWidget* ventana);
    void eliminarEnSegundoPlano();
    void borradoTerminado(bool recargar);
    void actualizarComandos();

    PantallaPrincipal& pantalla_;
    Dialogos& dialogos_;
    GrupoEnlaces& enlaces_;
    QWidget* ventana_;
    QMenu* mnuCabeza_ = nullptr;
    std::vector<std::pair<QAction*, Accion>> accionesMenu_;
    std::thread borrado_;
    bool envioEnCurso_ = false;
    bool cerrarTrasBorrado_ = false;
};

} // namespace envio::gui
