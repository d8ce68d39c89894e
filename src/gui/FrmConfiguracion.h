#pragma once

#include "host/ContextoAnfitrion.h"
#include "mass/ListaDestinatarios.h"
#include "mass/MandarAvisos.h"
#include "mass/PlantillaAviso.h"
#include "platform/ConnectivityProbe.h"
#include "report/VisorInforme.h"
#include "ui/Dialogos.h"

#include <QDialog>
#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <thread>

class QTabWidget;

namespace envio::gui {

class PaginaDestinatarios;
class PaginaMensajeAviso;
class PanelAvisos;

// " Comunicaciones masivas": one notice to many of the suite's clients (or, in payroll mode, to
// the alternative address table). The list, the filter, the template and the run are the core's
// (src/core/mass). The window is the frame around its parts, the side panel (PanelAvisos) and the
// two tabs (PaginaMensajeAviso, PaginaDestinatarios); it fills the list from its source, runs the
// notice on a worker thread so that it stays responsive, and passes Esc on to the run. Tests find
// the controls by their object names (txtFiltro, Lv, txtAsuntoAviso, MnuTodos, lbl_cmd_0...).
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
    void disponer();
    void cargar();
    void llenarClientes(const std::string& filtro);
    void guardar();
    void terminarEnvio(const masivo::ResultadoAvisos& resultado);
    void punteroOcupado(bool ocupado);

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

    std::thread hilo_;
    std::atomic<bool> cancelar_{false};
    bool enviando_ = false;
    bool cerrarAlTerminar_ = false;
    bool punteroPuesto_ = false;
    std::optional<masivo::ResultadoAvisos> ultimo_;

    QWidget* cabecera_ = nullptr;
    QWidget* logo_ = nullptr;
    PanelAvisos* panel_ = nullptr;
    QTabWidget* ssTab1_ = nullptr;
    PaginaMensajeAviso* mensaje_ = nullptr;
    PaginaDestinatarios* destinatarios_ = nullptr;
};

// Link 5 of the main window: opens the window modally over `parent` with the list chosen by the
// main window's type (`tipoElegido`, the text of Combo1) and returns when it has closed (the
// QDialog result). The mail settings in `contexto.correo()` are reloaded by every save.
int abrirFrmConfiguracion(QWidget* parent, ContextoAnfitrion& contexto,
                          const std::string& tipoElegido, Dialogos& dialogos);

} // namespace envio::gui
