#pragma once

#include "catalogue/Comandos.h"
#include "catalogue/PantallaPrincipal.h"
#include "host/CarpetaPrograma.h"
#include "host/ContextoAnfitrion.h"
#include "platform/Reloj.h"
#include "platform/Shell.h"
#include "ui/Dialogos.h"
#include "ui/DisposicionVentana.h"

#include <QMainWindow>
#include <functional>
#include <memory>

class QStatusBar;

namespace envio::gui {

class AreaListado;
class DespachoComandos;
class PanelPrincipal;

// The main window, "Envío de documentos por e-mail": the frame around its three parts. The header
// with the logo, the blue side panel with its boxes of command links (PanelPrincipal), the working
// area with the type, the tabs, the document list and the search box (AreaListado), and the status
// bar. Commands go through DespachoComandos to the core's PantallaPrincipal; the window shows the
// effect that comes back. Tests find the controls by their object names, the ones the program has
// always used (Lv, txtBusqueda, TabMeses, lbl_cmd_0, MnuCabeza...).
class FrmPrincipal : public QMainWindow {
    Q_OBJECT
public:
    // `dialogos` and `shell` must outlive the window; runs started from it use them too.
    FrmPrincipal(ContextoAnfitrion contexto, Dialogos& dialogos, Shell& shell,
                 QWidget* parent = nullptr);
    ~FrmPrincipal() override;

    PantallaPrincipal& pantalla() { return *pantalla_; }
    Dialogos& dialogos() { return dialogos_; }
    Shell& shell() { return shell_; }
    // The cancel flag that Esc sets and the runs read.
    Cancelacion& blnCancelar() { return pantalla_->cancelacion(); }
    // The side panel, where a sending run shows its progress.
    PanelPrincipal& panel() { return *panel_; }

    // A command link by index, a context-menu entry, or any command by its action.
    void ejecutarEnlace(int indice);
    void ejecutar(Accion accion);
    [[nodiscard]] bool borrando() const;
    // While a sending run or a deletion works on the documents, the commands that would touch
    // the same files, the work table or the settings are refused and shown disabled.
    void envioEnCurso(bool enCurso);
    [[nodiscard]] bool trabajando() const;

    // After a run: the folder changed (refill), or rows changed in place (icons, colours).
    // A worker thread may call these; the window then does the work on its own thread.
    void recargarLista();
    void mostrarFilasCambiadas();
    void mostrarFilaCambiada(int fila);

    [[nodiscard]] QSize tamanoMinimo() const;

signals:
    // The commands whose windows and runs live elsewhere; whoever builds the program connects them.
    void enviarSolicitado();
    void configurarMensajeSolicitado();
    void mensajesMasivosSolicitado();
    void configurarServidorSolicitado();
    void historialSolicitado();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* objeto, QEvent* evento) override;

private:
    void construirCabecera(QWidget* central);
    void construirBarraEstado();
    void conectar();
    void disponer();
    void mostrarEfecto(Efecto efecto);
    bool enOtroHilo(const std::function<void()>& accion);

    Dialogos& dialogos_;
    Shell& shell_;
    std::unique_ptr<PantallaPrincipal> pantalla_;
    MarcoPrincipal marco_;

    QWidget* picCabeza_ = nullptr;
    QWidget* logo_ = nullptr;
    QWidget* linea_ = nullptr;
    PanelPrincipal* panel_ = nullptr;
    QStatusBar* statusBar1_ = nullptr;
    std::unique_ptr<AreaListado> area_;
    std::unique_ptr<DespachoComandos> despacho_;
};

// The program's start: the host context (telling the user what stops it), then the window with
// its list filled. Nothing comes back when the program must end; no window has been shown then.
std::unique_ptr<FrmPrincipal> abrirPrincipal(const CarpetaPrograma& carpeta, Dialogos& dialogos,
                                             Shell& shell, const Reloj& reloj);

} // namespace envio::gui
