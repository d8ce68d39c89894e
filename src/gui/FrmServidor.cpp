#include "gui/FrmServidor.h"

#include "gui/Arte.h"
#include "gui/CuadroXP.h"
#include "gui/DialogosQt.h"
#include "gui/EnlacesComando.h"
#include "gui/TextoQt.h"
#include "gui/Twips.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStyle>
#include <QUrl>

namespace envio::gui {
namespace {

constexpr int kAltoCabeza = 735;
constexpr int kAnchoMenu = 3255;
constexpr int kPrimeraFila = 480; // below the box's title
constexpr int kPasoFila = 300;

std::string s(const QString& texto) {
    return texto.toStdString();
}

// The header: the same deep blue band as the main window's, with its logo and closing line.
class Cabecera : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        arte::pintarFondoCabecera(p, rect());
        const int alto = aPixeles(45, this);
        arte::pintarLineaCabecera(p, QRect(0, height() - alto, width(), alto));
        const int lado = aPixeles(645, this);
        p.setRenderHint(QPainter::Antialiasing);
        arte::dibujarLogo(p,
                          QRectF(width() - aPixeles(1200, this), aPixeles(45, this), lado, lado));
    }
};

// An eye, open: what the password box's button shows.
QIcon iconoOjo() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath ojo;
    ojo.moveTo(3, 16);
    ojo.quadTo(16, 3, 29, 16);
    ojo.quadTo(16, 29, 3, 16);
    p.setPen(QPen(QColor(0x30, 0x40, 0x60), 2.2));
    p.setBrush(Qt::white);
    p.drawPath(ojo);
    p.setBrush(QColor(0x30, 0x50, 0x90));
    p.drawEllipse(QPointF(16, 16), 5, 5);
    return QIcon(pixmap);
}

} // namespace

MarcoAjustes::MarcoAjustes(const QString& caption, const QString& titulo, const QString& linea,
                           int anchoTwips, int altoTwips, QWidget* parent)
    : QDialog(parent), picCabeza_(new Cabecera(this)),
      picMenu_(new arte::Lienzo(arte::pintarPanel, this)), p1_(nullptr),
      enlaces_(new GrupoEnlaces(this)), siguienteFila_(aPixeles(kPrimeraFila, this)) {
    setWindowTitle(caption);
    setModal(true);
    setFixedSize(aPixeles(anchoTwips, this), aPixeles(altoTwips, this));
    setAutoFillBackground(true);
    QPalette fondo = palette();
    fondo.setColor(QPalette::Window, QColor(0xF4, 0xF7, 0xFD));
    setPalette(fondo);

    picCabeza_->setObjectName(QStringLiteral("PicCabeza"));
    picCabeza_->setGeometry(0, 0, width(), aPixeles(kAltoCabeza, this));
    lbltitulo_ = new QLabel(titulo, picCabeza_);
    lbltitulo_->setObjectName(QStringLiteral("lbltitulo"));
    lbltitulo_->setFont(arte::fuente(13, true));
    arte::colorTexto(lbltitulo_, Qt::white);
    lbltitulo_->move(aPixeles(180, this), aPixeles(60, this));
    lbltitulo_->adjustSize();
    linea_ = new QLabel(linea, picCabeza_);
    linea_->setObjectName(QStringLiteral("Label9"));
    linea_->setFont(arte::fuente(8));
    arte::colorTexto(linea_, QColor(0xDC, 0xE8, 0xFF));
    linea_->setWordWrap(true);
    linea_->setGeometry(aPixeles(195, this), lbltitulo_->geometry().bottom() + 1,
                        width() - aPixeles(195 + 1300, this),
                        picCabeza_->height() - lbltitulo_->geometry().bottom() -
                            aPixeles(60, this));
    linea_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    picMenu_->setObjectName(QStringLiteral("PicMenu"));
    picMenu_->setGeometry(0, picCabeza_->height(), aPixeles(kAnchoMenu, this),
                          height() - picCabeza_->height());
    p1_ = new CuadroXP(picMenu_);
    p1_->setObjectName(QStringLiteral("P1"));
    p1_->setGeometry(aPixeles(RectTwips{120, 120, 3015, kPrimeraFila + 180}, this));
    auto* tituloCuadro = new QLabel(QStringLiteral("Acciones"), p1_);
    tituloCuadro->setObjectName(QStringLiteral("Label4"));
    tituloCuadro->setFont(arte::fuente(8.25, true));
    arte::colorTexto(tituloCuadro, arte::kTituloCuadro);
    tituloCuadro->setGeometry(aPixeles(150, this), 0, p1_->width() - aPixeles(700, this),
                              p1_->altoCabecera());
}

void MarcoAjustes::agregarEnlace(int indice, const QString& texto, const QIcon& icono) {
    const int paso = aPixeles(kPasoFila, this);
    const int izquierda = aPixeles(180, this);
    auto* imagen = new QLabel(p1_);
    imagen->setObjectName(QStringLiteral("Image1_%1").arg(indice));
    imagen->setPixmap(icono.pixmap(16, 16));
    imagen->setGeometry(izquierda, siguienteFila_ + (paso - 16) / 2, 16, 16);
    auto* enlace = new EnlaceComando(indice, texto, p1_);
    enlace->setObjectName(QStringLiteral("lbl_cmd_%1").arg(indice));
    enlace->setGeometry(izquierda + 22, siguienteFila_, p1_->width() - izquierda - 26, paso);
    // A link that cannot act must look it: "Guardar" with nothing to save.
    QPalette apagado = enlace->palette();
    apagado.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x8C, 0x9A, 0xBC));
    enlace->setPalette(apagado);
    enlaces_->agregar(enlace);
    siguienteFila_ += paso;
    p1_->resize(p1_->width(), siguienteFila_ + aPixeles(180, this));
}

EnlaceComando* MarcoAjustes::enlace(int indice) const {
    return enlaces_->enlace(indice);
}

QRect MarcoAjustes::areaTrabajo() const {
    const int x = picMenu_->width() + aPixeles(300, this);
    const int y = picCabeza_->height() + aPixeles(240, this);
    return {x, y, width() - x - aPixeles(300, this), height() - y - aPixeles(240, this)};
}

FrmServidor::FrmServidor(const CarpetaPrograma& carpeta, Dialogos* dialogos,
                         ComponentesCorreo componentes, RecargarCorreo recargar, QWidget* parent)
    : MarcoAjustes(QStringLiteral("Configuración de servidor"),
                   QStringLiteral("Configuración del servidor"),
                   QStringLiteral("Indique los parámetros del servidor de correo a utilizar para "
                                  "el envio de documentos y comunicaciones"),
                   10500, 8400, parent) {
    setObjectName(QStringLiteral("FrmServidor"));
    if (dialogos == nullptr) {
        propios_ = std::make_unique<DialogosQt>(this);
        dialogos = propios_.get();
    }
    if (!componentes.crearComponente) {
        componentes = componentesDelPrograma(carpeta);
    }
    pantalla_ = std::make_unique<PantallaServidor>(carpeta.krnIni(), *dialogos,
                                                   std::move(componentes), std::move(recargar));
    construir();
    pantalla_->cargar();
    mostrarCampos();
    actualizar();
}

FrmServidor::~FrmServidor() = default;

void FrmServidor::construir() {
    agregarEnlace(PantallaServidor::kGuardar, QStringLiteral("Guardar"),
                  style()->standardIcon(QStyle::SP_DialogSaveButton));
    agregarEnlace(PantallaServidor::kProbar, QStringLiteral("Probar configuración"),
                  arte::iconoEnlace(0));
    agregarEnlace(PantallaServidor::kSalir, QStringLiteral("Salir"), arte::iconoEnlace(4));
    connect(lbl_cmd(), &GrupoEnlaces::pulsado, this, [this](int indice) {
        switch (indice) {
        case PantallaServidor::kGuardar:
            GuardarConfiguracion();
            break;
        case PantallaServidor::kProbar:
            ProbarConfiguracion();
            break;
        case PantallaServidor::kSalir:
            close();
            break;
        default:
            break;
        }
    });

    auto* area = new QWidget(this);
    area->setObjectName(QStringLiteral("areaTrabajo"));
    area->setGeometry(areaTrabajo());
    auto* rejilla = new QGridLayout(area);
    rejilla->setContentsMargins(0, 0, 0, 0);
    rejilla->setHorizontalSpacing(aPixeles(150, this));
    rejilla->setVerticalSpacing(aPixeles(90, this));
    rejilla->setColumnStretch(1, 1);

    const auto etiqueta = [&](const QString& texto, int fila, QWidget* campo) {
        auto* l = new QLabel(texto, area);
        l->setObjectName(QStringLiteral("lbl_%1").arg(fila));
        l->setFont(arte::fuente(8.25));
        l->setBuddy(campo);
        rejilla->addWidget(l, fila, 0);
    };
    for (int i = 0; i < 5; ++i) {
        auto* caja = new QLineEdit(area);
        caja->setObjectName(QStringLiteral("txt_server_%1").arg(i));
        caja->setMaxLength(i == int(CampoServidor::Password)
                               ? PantallaServidor::kLongitudMaximaPassword
                               : PantallaServidor::kLongitudMaxima);
        txt_server_[std::size_t(i)] = caja;
        const auto campo = static_cast<CampoServidor>(i);
        // Only what the user does counts: filling the boxes or proposing a port does not.
        connect(caja, &QLineEdit::textEdited, this, [this, campo](const QString& texto) {
            pantalla_->escribir(campo, s(texto));
            actualizar();
        });
    }

    etiqueta(QStringLiteral("&Servidor"), 0, txt_server_[0]);
    rejilla->addWidget(txt_server_[0], 0, 1);

    auto* filaPuerto = new QHBoxLayout;
    txt_server_[1]->setFixedWidth(aPixeles(900, this));
    filaPuerto->addWidget(txt_server_[1]);
    lblPuerto_ = new QLabel(area);
    lblPuerto_->setObjectName(QStringLiteral("lblPuerto"));
    lblPuerto_->setFont(arte::fuente(7.5));
    arte::colorTexto(lblPuerto_, QColor(0x5A, 0x66, 0x80));
    filaPuerto->addWidget(lblPuerto_, 1);
    etiqueta(QStringLiteral("&Puerto"), 1, txt_server_[1]);
    rejilla->addLayout(filaPuerto, 1, 1);

    check1_ = new QCheckBox(area);
    check1_->setObjectName(QStringLiteral("Check1"));
    check1_->setAccessibleName(QStringLiteral("SSL"));
    etiqueta(QStringLiteral("SS&L"), 2, check1_);
    rejilla->addWidget(check1_, 2, 1, Qt::AlignLeft);
    // `clicked` comes from the mouse and the keyboard alike, and never from filling the box.
    connect(check1_, &QCheckBox::clicked, this, [this](bool marcado) {
        pantalla_->marcarSsl(marcado); // the port stays; the hint beside it changes
        actualizar();
    });

    etiqueta(QStringLiteral("&Cuenta"), 3, txt_server_[2]);
    rejilla->addWidget(txt_server_[2], 3, 1);
    etiqueta(QStringLiteral("&Usuario"), 4, txt_server_[3]);
    rejilla->addWidget(txt_server_[3], 4, 1);
    etiqueta(QStringLiteral("C&ontraseña"), 5, txt_server_[4]);
    rejilla->addWidget(txt_server_[4], 5, 1);

    QLineEdit* clave = txt_server_[4];
    clave->setEchoMode(QLineEdit::Password);
    verClave_ = clave->addAction(iconoOjo(), QLineEdit::TrailingPosition);
    verClave_->setObjectName(QStringLiteral("verClave"));
    verClave_->setCheckable(true);
    verClave_->setToolTip(QStringLiteral("Mostrar la contraseña"));
    connect(verClave_, &QAction::toggled, this, [this, clave](bool ver) {
        clave->setEchoMode(ver ? QLineEdit::Normal : QLineEdit::Password);
        verClave_->setToolTip(ver ? QStringLiteral("Ocultar la contraseña")
                                  : QStringLiteral("Mostrar la contraseña"));
    });

    lblPrueba_ = new QLabel(area);
    lblPrueba_->setObjectName(QStringLiteral("lblPrueba"));
    lblPrueba_->setFont(arte::fuente(8));
    lblPrueba_->setWordWrap(true);
    arte::colorTexto(lblPrueba_, QColor(0x1C, 0x2E, 0x55));
    construirOAuth(rejilla, area, 6);
    construirLimites(area, rejilla, 15);
    rejilla->addWidget(lblPrueba_, 17, 0, 1, 2);
    rejilla->setRowStretch(18, 1);
}

void FrmServidor::construirLimites(QWidget* area, QGridLayout* rejilla, int fila) {
    cmbLimites_ = new QComboBox(area);
    cmbLimites_->setObjectName(QStringLiteral("cmbLimites"));
    // In the order of ProveedorLimites.
    cmbLimites_->addItems({QStringLiteral("Sin límite"),
                           QStringLiteral("Microsoft 365 (30 por minuto, 10.000 al día)"),
                           QStringLiteral("Gmail (20 por minuto, 2.000 al día)"),
                           QStringLiteral("Otros")});
    auto* etiqueta = new QLabel(QStringLiteral("Lí&mites"), area);
    etiqueta->setFont(arte::fuente(8.25));
    etiqueta->setBuddy(cmbLimites_);
    rejilla->addWidget(etiqueta, fila, 0);
    // The presets' names are long: the two numbers go on the row below them.
    rejilla->addWidget(cmbLimites_, fila, 1);
    auto* caja = new QHBoxLayout;
    const auto numero = [area, caja](const QString& nombre, const QString& sufijo) {
        auto* s = new QSpinBox(area);
        s->setObjectName(nombre);
        s->setRange(0, 1000000);
        s->setSpecialValueText(QStringLiteral("sin límite"));
        s->setSuffix(sufijo);
        caja->addWidget(s);
        return s;
    };
    spnPorMinuto_ = numero(QStringLiteral("spnPorMinuto"), QStringLiteral(" por minuto"));
    spnPorDia_ = numero(QStringLiteral("spnPorDia"), QStringLiteral(" al día"));
    rejilla->addLayout(caja, fila + 1, 1);
    // `activated` and `valueChanged` from the user only: filling the boxes blocks signals.
    connect(cmbLimites_, &QComboBox::activated, this, [this](int indice) {
        const auto proveedor = static_cast<ProveedorLimites>(indice);
        if (proveedor != ProveedorLimites::Otros) {
            pantalla_->fijarLimites(limitesDe(proveedor));
        }
        mostrarLimites();
        actualizar();
    });
    for (QSpinBox* s : {spnPorMinuto_, spnPorDia_}) {
        connect(s, &QSpinBox::valueChanged, this, [this] {
            pantalla_->fijarLimites({spnPorMinuto_->value(), spnPorDia_->value()});
            actualizar();
        });
    }
}

void FrmServidor::mostrarLimites() {
    const LimitesCuenta& l = pantalla_->limites();
    const QSignalBlocker a(cmbLimites_);
    const QSignalBlocker b(spnPorMinuto_);
    const QSignalBlocker c(spnPorDia_);
    // "Otros" stays chosen while the user types values, even ones that match a preset.
    if (cmbLimites_->currentIndex() != static_cast<int>(ProveedorLimites::Otros) ||
        proveedorDe(l) != ProveedorLimites::Otros) {
        cmbLimites_->setCurrentIndex(static_cast<int>(proveedorDe(l)));
    }
    spnPorMinuto_->setValue(l.porMinuto);
    spnPorDia_->setValue(l.porDia);
    const bool libres = cmbLimites_->currentIndex() == static_cast<int>(ProveedorLimites::Otros);
    spnPorMinuto_->setEnabled(libres);
    spnPorDia_->setEnabled(libres);
}

void FrmServidor::construirOAuth(QGridLayout* rejilla, QWidget* area, int fila) {
    cboAutenticacion_ = new QComboBox(area);
    cboAutenticacion_->setObjectName(QStringLiteral("cboAutenticacion"));
    // In the order of Autenticacion's values.
    cboAutenticacion_->addItems({QStringLiteral("Contraseña"), QStringLiteral("Microsoft 365"),
                                 QStringLiteral("Google"),
                                 QStringLiteral("Otro proveedor OAuth2")});
    auto* etiquetaAutenticacion = new QLabel(QStringLiteral("&Autenticación"), area);
    etiquetaAutenticacion->setFont(arte::fuente(8.25));
    etiquetaAutenticacion->setBuddy(cboAutenticacion_);
    rejilla->addWidget(etiquetaAutenticacion, fila, 0);
    rejilla->addWidget(cboAutenticacion_, fila, 1);
    connect(cboAutenticacion_, &QComboBox::activated, this, [this](int indice) {
        ConfiguracionOAuth c = pantalla_->oauth();
        c.autenticacion = static_cast<Autenticacion>(indice);
        pantalla_->escribirOAuth(c);
        mostrarOAuth();
        actualizar();
    });

    const QString nombres[7] = {QStringLiteral("Id. de cliente"),
                                QStringLiteral("Inquilino"),
                                QStringLiteral("Secreto de cliente"),
                                QStringLiteral("Autorización (URL)"),
                                QStringLiteral("Token (URL)"),
                                QStringLiteral("Código de dispositivo (URL)"),
                                QStringLiteral("Ámbito")};
    for (int i = 0; i < 7; ++i) {
        auto* caja = new QLineEdit(area);
        caja->setObjectName(QStringLiteral("txt_oauth_%1").arg(i));
        caja->setMaxLength(PantallaServidor::kLongitudMaxima);
        auto* etiqueta = new QLabel(nombres[i], area);
        etiqueta->setFont(arte::fuente(8.25));
        etiqueta->setBuddy(caja);
        rejilla->addWidget(etiqueta, fila + 1 + i, 0);
        rejilla->addWidget(caja, fila + 1 + i, 1);
        txt_oauth_[std::size_t(i)] = caja;
        filasOAuth_[std::size_t(i)] = etiqueta;
        connect(caja, &QLineEdit::textEdited, this, [this, i](const QString& texto) {
            ConfiguracionOAuth c = pantalla_->oauth();
            std::string* campos[7] = {&c.idCliente,       &c.inquilino, &c.secretoCliente,
                                      &c.urlAutorizacion, &c.urlToken,  &c.urlDispositivo,
                                      &c.ambito};
            *campos[i] = s(texto);
            pantalla_->escribirOAuth(c);
            actualizar();
        });
    }
    txt_oauth_[1]->setPlaceholderText(QStringLiteral("organizations"));

    auto* filaSesion = new QHBoxLayout;
    lblSesion_ = new QLabel(area);
    lblSesion_->setObjectName(QStringLiteral("lblSesion"));
    lblSesion_->setFont(arte::fuente(8));
    lblSesion_->setWordWrap(true);
    filaSesion->addWidget(lblSesion_, 1);
    cmdIniciarSesion_ = new QPushButton(QStringLiteral("&Iniciar sesión"), area);
    cmdIniciarSesion_->setObjectName(QStringLiteral("cmdIniciarSesion"));
    connect(cmdIniciarSesion_, &QPushButton::clicked, this, [this] { IniciarSesion(); });
    filaSesion->addWidget(cmdIniciarSesion_);
    rejilla->addLayout(filaSesion, fila + 8, 0, 1, 2);
}

void FrmServidor::mostrarOAuth() {
    const ConfiguracionOAuth& c = pantalla_->oauth();
    cboAutenticacion_->setCurrentIndex(static_cast<int>(c.autenticacion));
    const bool oauth = c.usaOAuth();
    const bool otro = c.autenticacion == Autenticacion::OtroProveedor;
    const std::string* campos[7] = {&c.idCliente,       &c.inquilino, &c.secretoCliente,
                                    &c.urlAutorizacion, &c.urlToken,  &c.urlDispositivo,
                                    &c.ambito};
    const bool visibles[7] = {oauth,
                              c.autenticacion == Autenticacion::Microsoft,
                              c.autenticacion == Autenticacion::Google || otro,
                              otro,
                              otro,
                              otro,
                              otro};
    for (std::size_t i = 0; i < 7; ++i) {
        txt_oauth_[i]->setText(q(*campos[i]));
        txt_oauth_[i]->setVisible(visibles[i]);
        filasOAuth_[i]->setVisible(visibles[i]);
    }
    // The password is not used with OAuth2: the provider signs the account in.
    txt_server_[4]->setEnabled(!oauth);
    lblSesion_->setVisible(oauth);
    cmdIniciarSesion_->setVisible(oauth);
    lblSesion_->setText(q(pantalla_->estadoSesion()));
}

void FrmServidor::IniciarSesion() {
    QPointer<FrmServidor> ventana(this);
    const auto abrir = [ventana](const std::string& url) {
        // On the sign-in's thread: the desktop is asked from the window's.
        QMetaObject::invokeMethod(
            ventana,
            [url] { QDesktopServices::openUrl(QUrl::fromEncoded(QByteArray::fromStdString(url))); },
            Qt::QueuedConnection);
        return true;
    };
    const bool empezada = pantalla_->iniciarSesion(abrir, [ventana](bool) {
        QMetaObject::invokeMethod(
            ventana,
            [ventana] {
                if (ventana) {
                    ventana->unsetCursor();
                    ventana->mostrarOAuth();
                    ventana->actualizar();
                }
            },
            Qt::QueuedConnection);
    });
    if (empezada) {
        setCursor(Qt::BusyCursor);
        lblSesion_->setText(QStringLiteral("Complete el inicio de sesión en el navegador…"));
        actualizar();
    }
}

void FrmServidor::mostrarCampos() {
    const CamposServidor& c = pantalla_->campos();
    for (int i = 0; i < 5; ++i) {
        txt_server_[std::size_t(i)]->setText(q(pantalla_->texto(static_cast<CampoServidor>(i))));
    }
    check1_->setChecked(c.ssl);
    mostrarLimites();
    mostrarOAuth();
}

void FrmServidor::actualizar() {
    enlace(PantallaServidor::kGuardar)->setEnabled(pantalla_->guardarHabilitado());
    enlace(PantallaServidor::kProbar)->setEnabled(!pantalla_->probando());
    cmdIniciarSesion_->setEnabled(!pantalla_->probando());
    lblPuerto_->setText(pantalla_->campos().ssl ? QStringLiteral("con SSL: 465 o 587")
                                                : QStringLiteral("sin SSL: normalmente 25"));
    txt_server_[1]->setPlaceholderText(q(puertoHabitual(pantalla_->campos().ssl)));
}

void FrmServidor::GuardarConfiguracion() {
    pantalla_->GuardarConfiguracion();
    actualizar();
}

void FrmServidor::ProbarConfiguracion() {
    const CamposServidor& c = pantalla_->campos();
    const std::string intento = describirIntento(c.servidor, puertoDePrueba(c.puerto), c.ssl);
    QPointer<FrmServidor> ventana(this);
    const bool empezada = pantalla_->iniciarPrueba([ventana](const IntentoPrueba& i) {
        // On the test's thread: the window takes it up on its own.
        QMetaObject::invokeMethod(
            ventana,
            [ventana, i] {
                if (ventana) {
                    ventana->terminarPrueba(i);
                }
            },
            Qt::QueuedConnection);
    });
    if (!empezada) {
        return;
    }
    setCursor(Qt::BusyCursor);
    lblPrueba_->setText(q("Probando " + intento + "…"));
    actualizar();
}

void FrmServidor::terminarPrueba(const IntentoPrueba& i) {
    unsetCursor();
    lblPrueba_->setText(q("Última prueba: " + describirIntento(i.servidor, i.puerto, i.ssl) +
                          (i.enviado ? ". Mensaje enviado." : ". No se pudo enviar.")));
    actualizar();
}

void FrmServidor::reject() {
    if (pantalla_->probando()) {
        pantalla_->cancelarSesion(); // a sign-in waiting for the browser ends at once
        // Said once, however many times the user tries to close while the test goes on.
        const QString espera =
            QStringLiteral("La ventana se podrá cerrar cuando termine la prueba.");
        if (!lblPrueba_->text().endsWith(espera)) {
            lblPrueba_->setText(lblPrueba_->text() + QLatin1Char('\n') + espera);
        }
        return;
    }
    if (pantalla_->cerrar()) {
        QDialog::reject();
    }
    actualizar();
}

int abrirFrmServidor(QWidget* parent, const CarpetaPrograma& carpeta, RecargarCorreo recargar) {
    FrmServidor ventana(carpeta, nullptr, {}, std::move(recargar), parent);
    return ventana.exec();
}

} // namespace envio::gui
