#pragma once

#include "catalogue/ListaVista.h"
#include "settings/ConfiguracionCorreo.h"

#include <QObject>
#include <atomic>
#include <thread>
#include <vector>

namespace envio::gui {

class FrmPrincipal;

// The main window's sending run on a worker thread, so that the window keeps painting and Esc
// reaches it: the run works on a copy of the rows and hands each changed row back to the
// window's thread; its boxes and the report window open over the main window and the run waits
// for them. One run at a time; closing the window during a run stops it after the current
// document and closes when it has finished. Must be destroyed before the window.
class EnvioPrincipal : public QObject {
    Q_OBJECT
public:
    explicit EnvioPrincipal(FrmPrincipal& ventana);
    ~EnvioPrincipal() override;

    void enviar();
    [[nodiscard]] bool enCurso() const { return enCurso_; }

protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override;

private:
    void ejecutar(std::vector<FilaLista> filas, const ConfiguracionCorreo& correo);
    void terminado();

    FrmPrincipal& ventana_;
    std::thread hilo_;
    std::atomic<bool> enCurso_{false};
    bool cerrarAlTerminar_ = false;
};

} // namespace envio::gui
