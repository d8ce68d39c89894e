#pragma once

#include "host/CarpetaPrograma.h"
#include "screens/PantallaServidor.h"
#include "ui/Dialogos.h"

#include <QDialog>
#include <array>
#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QSpinBox;
class QPushButton;
class QLabel;
class QLineEdit;

namespace envio::gui {

class CuadroXP;
class DialogosQt;
class EnlaceComando;
class GrupoEnlaces;

// The frame of the settings windows: the header with its title, line, logo and line across, the
// blue side panel with the box "Acciones" holding the window's links, and the working area on
// the right. These windows keep the size they were designed at.
class MarcoAjustes : public QDialog {
    Q_OBJECT
public:
    MarcoAjustes(const QString& caption, const QString& titulo, const QString& linea,
                 int anchoTwips, int altoTwips, QWidget* parent);

    [[nodiscard]] QWidget* PicCabeza() const { return picCabeza_; }
    [[nodiscard]] QLabel* lbltitulo() const { return lbltitulo_; }
    [[nodiscard]] QLabel* lineaCabecera() const { return linea_; }
    [[nodiscard]] QWidget* PicMenu() const { return picMenu_; }
    [[nodiscard]] CuadroXP* P1() const { return p1_; }
    [[nodiscard]] GrupoEnlaces* lbl_cmd() const { return enlaces_; }
    [[nodiscard]] EnlaceComando* enlace(int indice) const;

protected:
    // Links go under the box's title, top to bottom in the order they are added.
    void agregarEnlace(int indice, const QString& texto, const QIcon& icono);
    // Where the window's own controls go, in pixels.
    [[nodiscard]] QRect areaTrabajo() const;

private:
    QWidget* picCabeza_;
    QLabel* lbltitulo_;
    QLabel* linea_;
    QWidget* picMenu_;
    CuadroXP* p1_;
    GrupoEnlaces* enlaces_;
    int siguienteFila_;
};

// "Configuración de servidor": the SMTP server, port, SSL, account, user and password, saved to
// KRN.INI with the password scrambled, and a test message with the values as they stand. All of
// the rules are PantallaServidor's; the window passes the user's edits on and shows the result.
class FrmServidor : public MarcoAjustes {
    Q_OBJECT
public:
    // Without `dialogos`, the window shows real message boxes over itself; any other must be safe
    // to call from a worker thread and outlive the window. Without components, the program's.
    explicit FrmServidor(const CarpetaPrograma& carpeta, Dialogos* dialogos = nullptr,
                         ComponentesCorreo componentes = {}, RecargarCorreo recargar = {},
                         QWidget* parent = nullptr);
    ~FrmServidor() override;

    [[nodiscard]] PantallaServidor& pantalla() { return *pantalla_; }
    [[nodiscard]] QLineEdit* txt_server(int indice) const {
        return txt_server_[std::size_t(indice)];
    }
    [[nodiscard]] QCheckBox* Check1() const { return check1_; }
    [[nodiscard]] QAction* verClave() const { return verClave_; }
    [[nodiscard]] QLabel* lblPrueba() const { return lblPrueba_; }
    [[nodiscard]] QLabel* lblPuerto() const { return lblPuerto_; }
    [[nodiscard]] QComboBox* cboAutenticacion() const { return cboAutenticacion_; }

    void GuardarConfiguracion();
    void ProbarConfiguracion();

public slots:
    // Every way of closing comes here (the link, the close box, Esc).
    void reject() override;

private:
    void construir();
    void mostrarCampos();
    void actualizar();
    void terminarPrueba(const IntentoPrueba& intento);
    // The account's sending limits: a preset by provider, or two free values.
    void construirLimites(QWidget* area, QGridLayout* rejilla, int fila);
    void mostrarLimites();
    // The sign-in choice and the provider's registration: rows shown as the choice needs them.
    void construirOAuth(QGridLayout* rejilla, QWidget* area, int primeraFila);
    void mostrarOAuth();
    void IniciarSesion();

    std::unique_ptr<DialogosQt> propios_;
    std::unique_ptr<PantallaServidor> pantalla_;
    std::array<QLineEdit*, 5> txt_server_{};
    QCheckBox* check1_ = nullptr;
    QAction* verClave_ = nullptr;
    QLabel* lblPrueba_ = nullptr;
    QLabel* lblPuerto_ = nullptr;
    QComboBox* cmbLimites_ = nullptr;
    QSpinBox* spnPorMinuto_ = nullptr;
    QSpinBox* spnPorDia_ = nullptr;
    QComboBox* cboAutenticacion_ = nullptr;
    // Client id, tenant, client secret, the three endpoints and the scope.
    std::array<QLineEdit*, 7> txt_oauth_{};
    std::array<QWidget*, 7> filasOAuth_{};
    QLabel* lblSesion_ = nullptr;
    QPushButton* cmdIniciarSesion_ = nullptr;
};

// Opens the server settings window modally over `parent`; `recargar` receives the mail settings
// after every save. Returns when the window has closed.
int abrirFrmServidor(QWidget* parent, const CarpetaPrograma& carpeta, RecargarCorreo recargar = {});

} // namespace envio::gui
