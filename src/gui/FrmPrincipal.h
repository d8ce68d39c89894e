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
#include <thread>

class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QStatusBar;
class QTabBar;

namespace envio::gui {

class CuadroXP;
class GrupoEnlaces;
class ModeloDocumentos;
class VistaDocumentos;

// The main window, "Envío de documentos por e-mail": the header, the blue side panel with its
// three boxes of command links, and the working area with the type selector, the month tabs
// around the document list and the search box, and the year tabs. Every event goes to the core's
// PantallaPrincipal; the window shows what comes back.
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

    // A command link by index, a context-menu entry, or any command by its action.
    void ejecutarEnlace(int indice);
    void ejecutar(Accion accion);
    // Deleting runs on a worker thread (the question included), so that a folder of many
    // documents never freezes the window; the list is refilled when it ends.
    [[nodiscard]] bool borrando() const { return borrado_.joinable(); }
    // While a sending run or a deletion works on the documents, the commands that would touch
    // the same files, the work table or the settings are refused and shown disabled.
    void envioEnCurso(bool enCurso);
    [[nodiscard]] bool trabajando() const { return envioEnCurso_ || borrado_.joinable(); }

    // After a run: the folder changed (refill), or rows changed in place (icons, colours).
    // A worker thread may call these; the window then does the work on its own thread.
    void recargarLista();
    void mostrarFilasCambiadas();
    void mostrarFilaCambiada(int fila);

    // The controls, by the names the program has always used.
    [[nodiscard]] VistaDocumentos* Lv() const { return lv_; }
    [[nodiscard]] ModeloDocumentos* modelo() const { return modelo_; }
    [[nodiscard]] QLineEdit* txtBusqueda() const { return txtBusqueda_; }
    [[nodiscard]] QTabBar* TabMeses() const { return tabMeses_; }
    [[nodiscard]] QTabBar* TabAnos() const { return tabAnos_; }
    [[nodiscard]] QComboBox* Combo1() const { return combo1_; }
    [[nodiscard]] CuadroXP* P1() const { return p1_; }
    [[nodiscard]] CuadroXP* P2() const { return p2_; }
    [[nodiscard]] CuadroXP* P3() const { return p3_; }
    [[nodiscard]] QLabel* lblDetalle() const { return lblDetalle_; }
    [[nodiscard]] QLabel* lblCuenta() const { return lblCuenta_; }
    [[nodiscard]] QLabel* lblFacSel() const { return lblFacSel_; }
    [[nodiscard]] QLabel* lblBarra() const { return lblBarra_; }
    [[nodiscard]] QProgressBar* Barra() const { return barra_; }
    [[nodiscard]] QStatusBar* StatusBar1() const { return statusBar1_; }
    [[nodiscard]] GrupoEnlaces* lbl_cmd() const { return enlaces_; }
    [[nodiscard]] QMenu* MnuCabeza() const { return mnuCabeza_; }
    [[nodiscard]] QWidget* PicCabeza() const { return picCabeza_; }
    [[nodiscard]] QWidget* PicMenu() const { return picMenu_; }
    [[nodiscard]] QWidget* GRADIENTE() const { return gradiente_; }
    [[nodiscard]] QWidget* marcoMeses() const { return marcoMeses_; }
    [[nodiscard]] QWidget* marcoAnos() const { return marcoAnos_; }
    [[nodiscard]] QWidget* logo() const { return logo_; }
    [[nodiscard]] QWidget* LINEA() const { return linea_; }
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
    void construirPanel(QWidget* central);
    void construirAreaTrabajo(QWidget* central);
    void construirMenu();
    void conectar();
    void disponer();
    void apilarDesde(const CuadroXP* cuadro);

    void mostrarEtiquetas();
    void mostrarRecarga(bool enfocarBusqueda = true);
    void mostrarOrden();
    bool enOtroHilo(const std::function<void()>& accion);
    void eliminarEnSegundoPlano();
    void borradoTerminado(bool recargar);
    void elegirMes(int indice);
    void elegirAnio(int indice);
    void actualizarComandos();

    Dialogos& dialogos_;
    Shell& shell_;
    std::unique_ptr<PantallaPrincipal> pantalla_;
    MarcoPrincipal marco_;
    bool cargando_ = true;

    QWidget* picCabeza_ = nullptr;
    QWidget* logo_ = nullptr;
    QWidget* linea_ = nullptr;
    QWidget* picMenu_ = nullptr;
    CuadroXP* p1_ = nullptr;
    CuadroXP* p2_ = nullptr;
    CuadroXP* p3_ = nullptr;
    GrupoEnlaces* enlaces_ = nullptr;
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
    QLabel* lblCuenta_ = nullptr;
    QLabel* lblFacSel_ = nullptr;
    QLabel* lblBarra_ = nullptr;
    QProgressBar* barra_ = nullptr;
    QStatusBar* statusBar1_ = nullptr;
    QMenu* mnuCabeza_ = nullptr;
    std::vector<std::pair<QAction*, Accion>> accionesMenu_;
    std::thread borrado_;
    bool envioEnCurso_ = false;
    bool cerrarTrasBorrado_ = false;
};

// The program's start: the host context (telling the user what stops it), then the window with
// its list filled. Nothing comes back when the program must end; no window has been shown then.
std::unique_ptr<FrmPrincipal> abrirPrincipal(const CarpetaPrograma& carpeta, Dialogos& dialogos,
                                             Shell& shell, const Reloj& reloj);

} // namespace envio::gui
