#pragma once

#include "catalogue/ListaVista.h"
#include "host/ContextoAnfitrion.h"
#include "mass/ListaDestinatarios.h"
#include "mass/MandarAvisos.h"
#include "mass/PlantillaAviso.h"
#include "platform/ConnectivityProbe.h"
#include "report/VisorInforme.h"
#include "ui/Dialogos.h"

#include <QDialog>
#include <QTreeView>
#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <thread>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QTabWidget;

namespace envio::gui {

class CuadroXP;
class GrupoEnlaces;
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

// " Comunicaciones masivas": one notice to many of the suite's clients (or, in payroll mode, to
// the alternative address table). The list, the filter, the template and the run are the core's
// (src/core/mass); the window shows them, runs the notice on a worker thread so that it stays
// responsive, and passes Esc on to the run.
class FrmConfiguracion : public QDialog {
    Q_OBJECT
public:
    // `contexto`, `dialogos` and the optional `visor` and `sonda` must outlive the window;
    // `dialogos` must be safe to call from a worker thread. Without `visor` the report window
    // opens over this one; without `sonda` the system's connection check is used.
    FrmConfiguracion(ContextoAnfitrion& contexto, std::string tipoElegido, Dialogos& dialogos,
                     VisorInforme* visor = nullptr, ConnectivityProbe* sonda = nullptr,
                     QWidget* parent = nullptr);
    ~FrmConfiguracion() override;

    // The command links: 0 "Enviar", 1 "Salir".
    void ejecutarEnlace(int indice);
    // "Enviar": saves the template, reloads the mail settings and starts the run.
    void enviar();
    [[nodiscard]] bool enviando() const { return enviando_; }
    [[nodiscard]] const std::optional<masivo::ResultadoAvisos>& ultimoResultado() const {
        return ultimo_;
    }
    // The Esc flag the run reads before each recipient.
    [[nodiscard]] bool blnCancelar() const { return cancelar_.load(); }

    // Where the pop-up menu opens for a right-button release at `enLista` (list coordinates).
    [[nodiscard]] QPoint puntoMenu(const QPoint& enLista) const;

    [[nodiscard]] ListaVista& lista() { return lista_; }
    [[nodiscard]] CuadroXP* P1() const { return p1_; }
    [[nodiscard]] CuadroXP* P2() const { return p2_; }
    [[nodiscard]] QLabel* lbl() const { return lbl_; }
    [[nodiscard]] QLineEdit* txtFiltro() const { return txtFiltro_; }
    [[nodiscard]] QTabWidget* SSTab1() const { return ssTab1_; }
    [[nodiscard]] QLabel* Label9() const { return label9_; }
    [[nodiscard]] VistaDestinatarios* Lv() const { return lv_; }
    [[nodiscard]] ModeloDestinatarios* modelo() const { return modelo_; }
    [[nodiscard]] QMenu* Menu() const { return menu_; }
    [[nodiscard]] QAction* MnuTodos() const { return mnuTodos_; }
    [[nodiscard]] QAction* MnuNinguno() const { return mnuNinguno_; }
    [[nodiscard]] QAction* MnuInvertir() const { return mnuInvertir_; }
    [[nodiscard]] QLineEdit* txtAsuntoAviso() const { return txtAsuntoAviso_; }
    [[nodiscard]] QPlainTextEdit* txtMensajeAviso() const { return txtMensajeAviso_; }
    [[nodiscard]] QCheckBox* Check1() const { return check1_; }
    [[nodiscard]] GrupoEnlaces* lbl_cmd() const { return enlaces_; }

signals:
    void envioTerminado();

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    class Observador;
    class VisorEnVentana;

    void construir();
    void construirPestanas();
    void conectar();
    void disponer();
    void colocarP2();
    void cargar();
    void llenarClientes(const std::string& filtro);
    void guardar();
    void seleccion(const char* modo);
    void clicEnCabecera(int columna);
    void terminarEnvio(const masivo::ResultadoAvisos& resultado);
    void punteroOcupado(bool ocupado);
    [[nodiscard]] masivo::PlantillaAviso plantillaDeControles() const;

    ContextoAnfitrion& contexto_;
    std::string tipo_;
    Dialogos& dialogos_;
    VisorInforme* visorExterno_;
    ConnectivityProbe* sondaExterna_;
    std::unique_ptr<VisorInforme> visorPropio_;
    std::unique_ptr<ConnectivityProbe> sondaPropia_;
    std::unique_ptr<Observador> observador_;
    std::unique_ptr<VisorEnVentana> visorEnVentana_;
    masivo::ListaDestinatarios origen_;
    masivo::Fuente fuente_;
    ListaVista lista_;

    std::thread hilo_;
    std::atomic<bool> cancelar_{false};
    bool enviando_ = false;
    bool cerrarAlTerminar_ = false;
    bool punteroPuesto_ = false;
    std::optional<masivo::ResultadoAvisos> ultimo_;

    QWidget* cabecera_ = nullptr;
    QWidget* logo_ = nullptr;
    QWidget* panel_ = nullptr;
    CuadroXP* p1_ = nullptr;
    CuadroXP* p2_ = nullptr;
    GrupoEnlaces* enlaces_ = nullptr;
    QLabel* lbl_ = nullptr;
    QLineEdit* txtFiltro_ = nullptr;
    QTabWidget* ssTab1_ = nullptr;
    QWidget* paginaLista_ = nullptr;
    QLabel* label9_ = nullptr;
    VistaDestinatarios* lv_ = nullptr;
    ModeloDestinatarios* modelo_ = nullptr;
    QMenu* menu_ = nullptr;
    QAction* mnuTodos_ = nullptr;
    QAction* mnuNinguno_ = nullptr;
    QAction* mnuInvertir_ = nullptr;
    QLineEdit* txtAsuntoAviso_ = nullptr;
    QPlainTextEdit* txtMensajeAviso_ = nullptr;
    QCheckBox* check1_ = nullptr;
};

// Link 5 of the main window: opens the window modally over `parent` with the list chosen by the
// main window's type (`tipoElegido`, the text of Combo1) and returns when it has closed (the
// QDialog result). The mail settings in `contexto.correo()` are reloaded by every save.
int abrirFrmConfiguracion(QWidget* parent, ContextoAnfitrion& contexto,
                          const std::string& tipoElegido, Dialogos& dialogos);

} // namespace envio::gui
