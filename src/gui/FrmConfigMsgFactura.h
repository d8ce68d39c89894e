#pragma once

#include "gui/FrmServidor.h"
#include "screens/PantallaMensaje.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;

namespace envio::gui {

// "Envío de documentos por e-mail", the message template: the subject, the body and the
// read-receipt choice of the document messages. The rules are PantallaMensaje's.
class FrmConfigMsgFactura : public MarcoAjustes {
    Q_OBJECT
public:
    // Without `dialogos`, the window shows real message boxes over itself.
    explicit FrmConfigMsgFactura(const CarpetaPrograma& carpeta, Dialogos* dialogos = nullptr,
                                 RecargarCorreo recargar = {}, QWidget* parent = nullptr);
    ~FrmConfigMsgFactura() override;

    [[nodiscard]] PantallaMensaje& pantalla() { return *pantalla_; }
    [[nodiscard]] QLineEdit* txt_asunto() const { return txt_asunto_; }
    [[nodiscard]] QPlainTextEdit* txt_mensaje() const { return txt_mensaje_; }
    [[nodiscard]] QCheckBox* Check1() const { return check1_; }
    [[nodiscard]] QCheckBox* chkProteger() const { return chkProteger_; }
    [[nodiscard]] QLineEdit* txtLineaProteccion() const { return txtLineaProteccion_; }
    [[nodiscard]] QSpinBox* txtTamanoMaximo() const { return txtTamanoMaximo_; }

    void GuardaDatos();

public slots:
    // Every way of closing comes here (the link, the close box, Esc).
    void reject() override;

private:
    void actualizar();

    std::unique_ptr<DialogosQt> propios_;
    std::unique_ptr<PantallaMensaje> pantalla_;
    QLineEdit* txt_asunto_ = nullptr;
    QPlainTextEdit* txt_mensaje_ = nullptr;
    QCheckBox* check1_ = nullptr;
    QCheckBox* chkProteger_ = nullptr;
    QLineEdit* txtLineaProteccion_ = nullptr;
    QSpinBox* txtTamanoMaximo_ = nullptr;
};

// Opens the message template window modally over `parent`; `recargar` receives the mail
// settings after every save. Returns when the window has closed.
int abrirFrmConfigMsgFactura(QWidget* parent, const CarpetaPrograma& carpeta,
                             RecargarCorreo recargar = {});

} // namespace envio::gui
