#include "gui/FrmServidor.h"

#include "DialogosGrabados.h"
#include "TemporaryFolder.h"
#include "TestMailServer.h"
#include "gui/CuadroXP.h"
#include "gui/EnlacesComando.h"
#include "platform/CurlMailTransport.h"
#include "settings/CodificarClave.h"
#include "settings/IniFile.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QtTest>
#include <condition_variable>
#include <mutex>

using namespace envio;

namespace {

const char* kKrn = "[Facturaci\xF3n]\r\nRutaFacturas=C:\\Suite\r\n"
                   "[servidor]\r\nServidor=smtp.gestoria.es\r\nPuerto=587\r\n"
                   "cuenta=oficina@gestoria.es\r\nUsuario=oficina\r\nPassword=\r\nSSL=1\r\n";

class SondaSiempre final : public ConnectivityProbe {
public:
    bool hasConnection(std::string_view) override { return true; }
};

ComponentesCorreo componentesDePrueba() {
    return {[] { return std::make_unique<CurlMailTransport>(); },
            [] { return std::make_unique<SondaSiempre>(); }};
}

// Holds the test's first box until the test lets it go: while it waits the test message is
// still under way, and the window must go on answering.
class DialogosRetenidos : public test::DialogosGrabados {
public:
    Respuesta mostrar(const CuadroMensaje& cuadro) override {
        {
            std::unique_lock lock(mutex_);
            llegado_ = true;
            soltar_.wait(lock, [this] { return suelto_; });
        }
        return DialogosGrabados::mostrar(cuadro);
    }
    bool llegado() {
        std::lock_guard lock(mutex_);
        return llegado_;
    }
    void soltar() {
        {
            std::lock_guard lock(mutex_);
            suelto_ = true;
        }
        soltar_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable soltar_;
    bool llegado_ = false;
    bool suelto_ = false;
};

void pulsar(gui::FrmServidor& v, int indice) {
    QTest::mouseClick(v.enlace(indice), Qt::LeftButton);
}

// With ENVIO_CAPTURAS set, the window as drawn goes to /tmp for a person to look at.
void capturar(QWidget& w, const QString& nombre) {
    if (qEnvironmentVariableIsSet("ENVIO_CAPTURAS")) {
        QVERIFY(w.grab().save(QStringLiteral("/tmp/%1.png").arg(nombre)));
    }
}

} // namespace

class FrmServidorTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TemporaryFolder> carpeta_;
    std::unique_ptr<test::DialogosGrabados> dialogos_;

    std::unique_ptr<gui::FrmServidor> abrir(const char* contenido, Dialogos* dialogos = nullptr) {
        carpeta_ = std::make_unique<test::TemporaryFolder>();
        if (contenido != nullptr) {
            carpeta_->write("KRN.INI", contenido);
        }
        auto v = std::make_unique<gui::FrmServidor>(CarpetaPrograma(carpeta_->path()),
                                                    dialogos ? dialogos : dialogos_.get(),
                                                    componentesDePrueba());
        v->show();
        return v;
    }
    std::string archivo() const { return carpeta_->read("KRN.INI"); }

private slots:
    void init() { dialogos_ = std::make_unique<test::DialogosGrabados>(); }

    void opensWithItsFrameLinksAndTheStoredValues() {
        auto v = abrir(kKrn);
        QVERIFY(QTest::qWaitForWindowExposed(v.get()));
        QCOMPARE(v->windowTitle(), QStringLiteral("Configuración de servidor"));
        QVERIFY(v->isModal());
        QCOMPARE(v->lbltitulo()->text(), QStringLiteral("Configuración del servidor"));
        QCOMPARE(v->lineaCabecera()->text(),
                 QStringLiteral("Indique los parámetros del servidor de correo a utilizar para el "
                                "envio de documentos y comunicaciones"));
        // Top to bottom: Guardar (0), Probar configuración (2), Salir (1).
        const auto& enlaces = v->lbl_cmd()->enlaces();
        QCOMPARE(int(enlaces.size()), 3);
        QCOMPARE(enlaces[0]->indice(), 0);
        QCOMPARE(enlaces[0]->text(), QStringLiteral("Guardar"));
        QCOMPARE(enlaces[1]->indice(), 2);
        QCOMPARE(enlaces[1]->text(), QStringLiteral("Probar configuración"));
        QCOMPARE(enlaces[2]->indice(), 1);
        QCOMPARE(enlaces[2]->text(), QStringLiteral("Salir"));
        QVERIFY(enlaces[0]->y() < enlaces[1]->y() && enlaces[1]->y() < enlaces[2]->y());
        QVERIFY(!v->enlace(0)->isEnabled());
        QVERIFY(v->enlace(1)->isEnabled() && v->enlace(2)->isEnabled());

        QCOMPARE(v->txt_server(0)->text(), QStringLiteral("smtp.gestoria.es"));
        QCOMPARE(v->txt_server(1)->text(), QStringLiteral("587"));
        QCOMPARE(v->txt_server(2)->text(), QStringLiteral("oficina@gestoria.es"));
        QCOMPARE(v->txt_server(3)->text(), QStringLiteral("oficina"));
        QCOMPARE(v->txt_server(4)->echoMode(), QLineEdit::Password);
        QVERIFY(v->Check1()->isChecked());
        QVERIFY(v->Check1()->text().isEmpty()); // the label beside it carries "SSL"
        capturar(*v, QStringLiteral("FrmServidor"));
    }

    void closingRightAfterOpeningAsksNothing() {
        auto v = abrir(kKrn);
        QVERIFY(v->close());
        QVERIFY(!v->isVisible());
        QVERIFY(dialogos_->cuadros().empty());
        QCOMPARE(archivo(), std::string(kKrn));
    }

    void typingThenSalirAsksAndNoLeavesTheFileByteIdentical() {
        auto v = abrir(kKrn);
        QTest::keyClicks(v->txt_server(3), QStringLiteral("x"));
        QVERIFY(v->enlace(0)->isEnabled());
        dialogos_->responder(Respuesta::No);
        pulsar(*v, 1);
        QVERIFY(!v->isVisible());
        QCOMPARE(dialogos_->textos(), std::vector<std::string>{"¿Desea guardar los cambios?"});
        QCOMPARE(archivo(), std::string(kKrn));
    }

    void escapeAlsoAsksAndYesSaves() {
        auto v = abrir(kKrn);
        QTest::keyClicks(v->txt_server(0), QStringLiteral(".es"));
        dialogos_->responder(Respuesta::Si);
        QTest::keyClick(v.get(), Qt::Key_Escape);
        QVERIFY(!v->isVisible());
        QCOMPARE(LeerIni(carpeta_->path() / "KRN.INI", "servidor", "Servidor", ""),
                 std::string("smtp.gestoria.es.es"));
    }

    void tickingAndUntickingSslByMouseAndKeyCountsAsAChange() {
        auto v = abrir(kKrn);
        QTest::mouseClick(v->Check1(), Qt::LeftButton);
        QVERIFY(!v->Check1()->isChecked());
        v->Check1()->setFocus();
        QTest::keyClick(v->Check1(), Qt::Key_Space);
        QVERIFY(v->Check1()->isChecked());
        QVERIFY(v->enlace(0)->isEnabled());
        dialogos_->responder(Respuesta::No);
        QVERIFY(v->close());
        QCOMPARE(dialogos_->cuadros().size(), std::size_t(1));
    }

    void guardarStoresThePasswordScrambledAndSslAsOne() {
        auto v = abrir("[Facturaci\xF3n]\r\nRutaFacturas=C:\\Suite\r\n");
        QTest::keyClicks(v->txt_server(0), QStringLiteral("smtp.gestoria.es"));
        QTest::keyClicks(v->txt_server(4), QStringLiteral("Secreto-99"));
        QTest::mouseClick(v->Check1(), Qt::LeftButton);
        pulsar(*v, 0);
        QVERIFY(!v->enlace(0)->isEnabled());
        const std::string bytes = archivo();
        QVERIFY(bytes.find("Secreto") == std::string::npos);
        QVERIFY(bytes.find("\r\nSSL=1\r\n") != std::string::npos);
        const auto krn = carpeta_->path() / "KRN.INI";
        QCOMPARE(CodificarClave(LeerIni(krn, "servidor", "Password", ""), false),
                 std::string("Secreto-99"));
        QCOMPARE(LeerIni(krn, "servidor", "Puerto", ""), std::string("25"));
        QVERIFY(v->close());
        QVERIFY(dialogos_->cuadros().empty());

        // Reopened, the window shows the password as typed.
        gui::FrmServidor otra(CarpetaPrograma(carpeta_->path()), dialogos_.get(),
                              componentesDePrueba());
        QCOMPARE(otra.txt_server(4)->text(), QStringLiteral("Secreto-99"));
    }

    void sslShowsTheUsualPortAsAHintAndNeverRewritesIt() {
        auto v = abrir(nullptr);
        QCOMPARE(v->lblPuerto()->text(), QStringLiteral("sin SSL: normalmente 25"));
        QTest::mouseClick(v->Check1(), Qt::LeftButton);
        QCOMPARE(v->txt_server(1)->text(), QStringLiteral("25"));
        QCOMPARE(v->lblPuerto()->text(), QStringLiteral("con SSL: 465 o 587"));
        v->txt_server(1)->clear();
        QCOMPARE(v->txt_server(1)->placeholderText(), QStringLiteral("465"));
        QTest::mouseClick(v->Check1(), Qt::LeftButton);
        QCOMPARE(v->txt_server(1)->text(), QString());
        QCOMPARE(v->txt_server(1)->placeholderText(), QStringLiteral("25"));
    }

    void aLimitsPresetFillsBothValuesAndIsSaved() {
        auto v = abrir(kKrn);
        auto* lista = v->findChild<QComboBox*>(QStringLiteral("cmbLimites"));
        auto* dia = v->findChild<QSpinBox*>(QStringLiteral("spnPorDia"));
        QVERIFY(lista != nullptr && dia != nullptr);
        QVERIFY(!dia->isEnabled());
        lista->setFocus();
        QTest::keyClick(lista, Qt::Key_Down); // Microsoft 365
        QCOMPARE(dia->value(), 10000);
        QVERIFY(v->enlace(0)->isEnabled());
        pulsar(*v, 0);
        const auto krn = carpeta_->path() / "KRN.INI";
        QCOMPARE(LeerIni(krn, "servidor", "LimitePorMinuto", ""), std::string("30"));
        QCOMPARE(LeerIni(krn, "servidor", "LimitePorDia", ""), std::string("10000"));
    }

    void thePasswordCanBeShownOnDemand() {
        auto v = abrir(kKrn);
        QCOMPARE(v->txt_server(4)->echoMode(), QLineEdit::Password);
        v->verClave()->trigger();
        QCOMPARE(v->txt_server(4)->echoMode(), QLineEdit::Normal);
        v->verClave()->trigger();
        QCOMPARE(v->txt_server(4)->echoMode(), QLineEdit::Password);
    }

    void theTestMessageRunsBesideTheWindowWithTheTypedValues() {
        test::MailServerOptions opciones;
        opciones.user = "oficina";
        opciones.password = "clave-1";
        test::TestMailServer servidor(opciones);
        DialogosRetenidos retenidos;
        auto v = abrir(kKrn, &retenidos);
        const QString puerto = QString::number(servidor.plainPort());
        for (const auto& [i, texto] :
             std::vector<std::pair<int, QString>>{{0, QStringLiteral("127.0.0.1")},
                                                  {1, puerto},
                                                  {2, QStringLiteral("prueba@gestoria.es")},
                                                  {4, QStringLiteral("clave-1")}}) {
            v->txt_server(i)->selectAll();
            QTest::keyClicks(v->txt_server(i), texto);
        }
        QTest::mouseClick(v->Check1(), Qt::LeftButton); // no SSL on the plain port
        pulsar(*v, 2);

        // The message has gone and its box waits on the worker: the window still answers.
        QTRY_VERIFY_WITH_TIMEOUT(retenidos.llegado(), 15000);
        QVERIFY(!v->enlace(2)->isEnabled());
        QCOMPARE(v->cursor().shape(), Qt::BusyCursor);
        QCOMPARE(
            v->lblPrueba()->text(),
            QStringLiteral("Probando el servidor «127.0.0.1», puerto %1, sin SSL…").arg(puerto));
        QTest::keyClicks(v->txt_server(3), QStringLiteral("z"));
        QCOMPARE(v->txt_server(3)->text(), QStringLiteral("oficinaz"));
        QVERIFY(!v->close()); // not while the test is under way, and said once however often
        QVERIFY(!v->close());
        QVERIFY(v->isVisible());
        QCOMPARE(v->lblPrueba()->text(),
                 QStringLiteral("Probando el servidor «127.0.0.1», puerto %1, sin SSL…\n"
                                "La ventana se podrá cerrar cuando termine la prueba.")
                     .arg(puerto));
        retenidos.soltar();

        QTRY_VERIFY(v->enlace(2)->isEnabled());
        QCOMPARE(v->cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(retenidos.textos(), std::vector<std::string>{"Mensaje enviado"});
        QCOMPARE(v->lblPrueba()->text(),
                 QStringLiteral("Última prueba: el servidor «127.0.0.1», puerto %1, sin SSL. "
                                "Mensaje enviado.")
                     .arg(puerto));
        const auto mensajes = servidor.messages();
        QCOMPARE(int(mensajes.size()), 1);
        QCOMPARE(mensajes[0].sender, std::string("prueba@gestoria.es"));
        QCOMPARE(mensajes[0].recipients, std::vector<std::string>{"prueba@gestoria.es"});
        QCOMPARE(mensajes[0].authUser, std::string("oficina"));
        QCOMPARE(archivo(), std::string(kKrn));
        capturar(*v, QStringLiteral("FrmServidor-prueba"));
        retenidos.responder(Respuesta::No);
        QVERIFY(v->close());
        QCOMPARE(archivo(), std::string(kKrn));
    }
};

QTEST_MAIN(FrmServidorTest)
#include "FrmServidorTest.moc"
