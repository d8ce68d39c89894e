#include "gui/FrmConfigMsgFactura.h"

#include "gui/Arte.h"
#include "gui/CuadroSinContrasena.h"
#include "gui/DialogosQt.h"
#include "gui/EnlacesComando.h"
#include "gui/TextoQt.h"
#include "gui/Twips.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QStyle>
#include <QVBoxLayout>

namespace envio::gui {
namespace {

// The band over the edit area that names what is edited, as the main window's over its list.
class Banda : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override {
        {
            QPainter p(this);
            arte::pintarBanda(p, rect());
        }
        QLabel::paintEvent(event);
    }
};

} // namespace

FrmConfigMsgFactura::FrmConfigMsgFactura(const CarpetaPrograma& carpeta, Dialogos* dialogos,
                                         RecargarCorreo recargar, QWidget* parent)
    : MarcoAjustes(QStringLiteral("Envío de documentos por e-mail"),
                   QStringLiteral("Configuración de mensaje"),
                   QStringLiteral("Definición del asunto y contenido del mensaje asociado al "
                                  "envío de documentos."),
                   10500, 8400, parent) {
    setObjectName(QStringLiteral("frmConfigMsgFactura"));
    if (dialogos == nullptr) {
        propios_ = std::make_unique<DialogosQt>(this);
        dialogos = propios_.get();
    }
    pantalla_ = std::make_unique<PantallaMensaje>(carpeta.krnIni(), *dialogos, std::move(recargar));

    agregarEnlace(PantallaMensaje::kGuardar, QStringLiteral("Guardar"),
                  style()->standardIcon(QStyle::SP_DialogSaveButton));
    agregarEnlace(PantallaMensaje::kSalir, QStringLiteral("Salir"), arte::iconoEnlace(4));
    connect(lbl_cmd(), &GrupoEnlaces::pulsado, this, [this](int indice) {
        if (indice == PantallaMensaje::kGuardar) {
            GuardaDatos();
        } else if (indice == PantallaMensaje::kSalir) {
            close();
        }
    });

    auto* area = new QWidget(this);
    area->setObjectName(QStringLiteral("areaTrabajo"));
    area->setGeometry(areaTrabajo());
    auto* capas = new QVBoxLayout(area);
    capas->setContentsMargins(0, 0, 0, 0);
    capas->setSpacing(aPixeles(60, this));

    auto* banda = new Banda(QStringLiteral("Mensaje de envio de documentos"), area);
    banda->setObjectName(QStringLiteral("lblDetalle"));
    banda->setFont(arte::fuente(9, true));
    banda->setIndent(aPixeles(120, this));
    banda->setFixedHeight(aPixeles(360, this));
    QPalette blanco = banda->palette();
    blanco.setColor(QPalette::WindowText, Qt::white);
    banda->setPalette(blanco);
    capas->addWidget(banda);
    capas->addSpacing(aPixeles(60, this));

    const auto etiqueta = [&](const QString& texto, QWidget* campo) {
        auto* l = new QLabel(texto, area);
        l->setFont(arte::fuente(8.25, true));
        l->setBuddy(campo);
        capas->addWidget(l);
    };
    txt_asunto_ = new QLineEdit(area);
    txt_asunto_->setObjectName(QStringLiteral("txt_asunto"));
    txt_asunto_->setMaxLength(PantallaMensaje::kLongitudMaximaAsunto);
    etiqueta(QStringLiteral("&Asunto"), txt_asunto_);
    capas->addWidget(txt_asunto_);
    capas->addSpacing(aPixeles(60, this));

    txt_mensaje_ = new QPlainTextEdit(area);
    txt_mensaje_->setObjectName(QStringLiteral("txt_mensaje"));
    txt_mensaje_->setTabChangesFocus(true);
    etiqueta(QStringLiteral("&Mensaje"), txt_mensaje_);
    capas->addWidget(txt_mensaje_, 1);
    capas->addSpacing(aPixeles(60, this));

    check1_ = new QCheckBox(QStringLiteral("Confirmación de lectura"), area);
    check1_->setObjectName(QStringLiteral("Check1"));
    etiqueta(QStringLiteral("Opciones"), check1_);
    capas->addWidget(check1_, 0, Qt::AlignLeft);

    chkProteger_ =
        new QCheckBox(QStringLiteral("Proteger los documentos con el NIF del trabajador"), area);
    chkProteger_->setObjectName(QStringLiteral("chkProteger"));
    chkProteger_->setToolTip(QStringLiteral("Sólo en nómina: cada documento se envía como una "
                                            "copia que se abre con el NIF de su trabajador"));
    capas->addWidget(chkProteger_, 0, Qt::AlignLeft);
    txtLineaProteccion_ = new QLineEdit(area);
    txtLineaProteccion_->setObjectName(QStringLiteral("txtLineaProteccion"));
    etiqueta(QStringLiteral("&Línea que se añade al mensaje de los documentos protegidos"),
             txtLineaProteccion_);
    capas->addWidget(txtLineaProteccion_);
    txtTamanoMaximo_ = new QSpinBox(area);
    txtTamanoMaximo_->setObjectName(QStringLiteral("txtTamanoMaximo"));
    txtTamanoMaximo_->setRange(0, 1024 * 1024);
    txtTamanoMaximo_->setSuffix(QStringLiteral(" KB"));
    txtTamanoMaximo_->setSpecialValueText(QStringLiteral("sin límite"));
    etiqueta(QStringLiteral("&Tamaño máximo de un documento"), txtTamanoMaximo_);
    capas->addWidget(txtTamanoMaximo_, 0, Qt::AlignLeft);
    auto* sinContrasena = new CuadroSinContrasena(
        ListaSinContrasena(ListaSinContrasena::archivoEn(carpeta)), *dialogos, area);
    etiqueta(QStringLiteral("Trabajadores que reciben sus documentos sin contraseña"),
             sinContrasena);
    capas->addWidget(sinContrasena);

    pantalla_->cargar();
    txt_asunto_->setText(q(pantalla_->asunto()));
    txt_mensaje_->setPlainText(q(pantalla_->mensajeParaEditar()));
    check1_->setChecked(pantalla_->confirmacion());
    chkProteger_->setChecked(pantalla_->protegerConNif());
    txtLineaProteccion_->setText(q(pantalla_->lineaProteccion()));
    txtLineaProteccion_->setCursorPosition(0); // its start says what it is about
    txtLineaProteccion_->setEnabled(pantalla_->protegerConNif());
    txtTamanoMaximo_->setValue(static_cast<int>(
        std::min<std::uintmax_t>(pantalla_->tamanoMaximoKb(), std::uintmax_t{1024} * 1024)));

    // Connected after the filling: only what the user does counts as a change.
    connect(txt_asunto_, &QLineEdit::textEdited, this, [this](const QString& texto) {
        pantalla_->cambiarAsunto(texto.toStdString());
        actualizar();
    });
    connect(txt_mensaje_, &QPlainTextEdit::textChanged, this, [this] {
        pantalla_->cambiarMensaje(txt_mensaje_->toPlainText().toStdString());
        actualizar();
    });
    connect(check1_, &QCheckBox::clicked, this, [this](bool marcada) {
        pantalla_->marcarConfirmacion(marcada);
        actualizar();
    });
    connect(chkProteger_, &QCheckBox::clicked, this, [this](bool marcada) {
        pantalla_->marcarProteccion(marcada);
        txtLineaProteccion_->setEnabled(marcada);
        actualizar();
    });
    connect(txtLineaProteccion_, &QLineEdit::textEdited, this, [this](const QString& texto) {
        pantalla_->cambiarLineaProteccion(texto.toStdString());
        actualizar();
    });
    connect(txtTamanoMaximo_, &QSpinBox::valueChanged, this, [this](int kb) {
        pantalla_->cambiarTamanoMaximo(static_cast<std::uintmax_t>(kb));
        actualizar();
    });
    actualizar();
}

FrmConfigMsgFactura::~FrmConfigMsgFactura() = default;

void FrmConfigMsgFactura::actualizar() {
    enlace(PantallaMensaje::kGuardar)->setEnabled(pantalla_->guardarHabilitado());
}

void FrmConfigMsgFactura::GuardaDatos() {
    pantalla_->pulsarGuardar();
    actualizar();
}

void FrmConfigMsgFactura::reject() {
    if (pantalla_->cerrar()) {
        QDialog::reject();
    }
    actualizar();
}

int abrirFrmConfigMsgFactura(QWidget* parent, const CarpetaPrograma& carpeta,
                             RecargarCorreo recargar) {
    FrmConfigMsgFactura ventana(carpeta, nullptr, std::move(recargar), parent);
    return ventana.exec();
}

} // namespace envio::gui
