#include "gui/FrmConfigMsgFactura.h"

#include "DialogosGrabados.h"
#include "TemporaryFolder.h"
#include "gui/EnlacesComando.h"
#include "revision/SinContrasena.h"
#include "settings/IniFile.h"
#include "settings/MensajeEnTrozos.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

using namespace envio;

namespace {

const char* kKrn = "[Facturaci\xF3n]\r\nRutaFacturas=C:\\Suite\r\n"
                   "[DocumentoPORemail]\r\nAsunto=Su factura\r\n"
                   "Mensaje0=Estimado cliente:[LF][CR]Adjuntamos su fac\r\nMensaje1=tura.\r\n"
                   "ConfirmacionLeido=0\r\n";

} // namespace

class FrmConfigMsgFacturaTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TemporaryFolder> carpeta_;
    std::unique_ptr<test::DialogosGrabados> dialogos_;
    int recargas_ = 0;
    ConfiguracionCorreo recargada_;

    std::unique_ptr<gui::FrmConfigMsgFactura> abrir(const char* contenido) {
        carpeta_ = std::make_unique<test::TemporaryFolder>();
        carpeta_->write("KRN.INI", contenido);
        auto v = std::make_unique<gui::FrmConfigMsgFactura>(CarpetaPrograma(carpeta_->path()),
                                                            dialogos_.get(),
                                                            [this](const ConfiguracionCorreo& c) {
                                                                ++recargas_;
                                                                recargada_ = c;
                                                            });
        v->show();
        return v;
    }
    std::string archivo() const { return carpeta_->read("KRN.INI"); }
    std::filesystem::path krn() const { return carpeta_->path() / "KRN.INI"; }

private slots:
    void init() {
        dialogos_ = std::make_unique<test::DialogosGrabados>();
        recargas_ = 0;
    }

    void opensWithItsFrameAndTheStoredTemplate() {
        auto v = abrir(kKrn);
        QVERIFY(QTest::qWaitForWindowExposed(v.get()));
        QCOMPARE(v->windowTitle(), QStringLiteral("Envío de documentos por e-mail"));
        QVERIFY(v->isModal());
        QCOMPARE(v->lbltitulo()->text(), QStringLiteral("Configuración de mensaje"));
        QCOMPARE(v->lineaCabecera()->text(),
                 QStringLiteral("Definición del asunto y contenido del mensaje asociado al envío "
                                "de documentos."));
        const auto& enlaces = v->lbl_cmd()->enlaces();
        QCOMPARE(int(enlaces.size()), 2);
        QCOMPARE(enlaces[0]->indice(), 0);
        QCOMPARE(enlaces[0]->text(), QStringLiteral("Guardar"));
        QCOMPARE(enlaces[1]->indice(), 1);
        QCOMPARE(enlaces[1]->text(), QStringLiteral("Salir"));
        QVERIFY(!v->enlace(0)->isEnabled());
        QVERIFY(v->enlace(1)->isEnabled());
        QCOMPARE(v->findChild<QLabel*>(QStringLiteral("lblDetalle"))->text(),
                 QStringLiteral("Mensaje de envio de documentos"));
        QCOMPARE(v->Check1()->text(), QStringLiteral("Confirmación de lectura"));

        QCOMPARE(v->txt_asunto()->text(), QStringLiteral("Su factura"));
        QCOMPARE(v->txt_mensaje()->toPlainText(),
                 QStringLiteral("Estimado cliente:\nAdjuntamos su factura."));
        QVERIFY(!v->Check1()->isChecked());
    }

    void tickingAndUntickingCountsAsAChangeAndNoKeepsTheFile() {
        auto v = abrir(kKrn);
        QTest::mouseClick(v->Check1(), Qt::LeftButton);
        QTest::mouseClick(v->Check1(), Qt::LeftButton);
        QVERIFY(!v->Check1()->isChecked());
        QVERIFY(v->enlace(0)->isEnabled());
        dialogos_->responder(Respuesta::No);
        QTest::mouseClick(v->enlace(1), Qt::LeftButton);
        QVERIFY(!v->isVisible());
        QCOMPARE(dialogos_->textos(), std::vector<std::string>{"¿Desea guardar los cambios?"});
        QCOMPARE(archivo(), std::string(kKrn));
    }

    void guardarStoresWhatWasTypedAndReloads() {
        auto v = abrir(kKrn);
        v->txt_mensaje()->selectAll();
        QTest::keyClicks(v->txt_mensaje(), QString(150, QChar('a')));
        QTest::keyClick(v->txt_mensaje(), Qt::Key_Return);
        QTest::keyClicks(v->txt_mensaje(), QString(100, QChar('b')));
        QTest::keyClicks(v->txt_asunto(), QStringLiteral(" de marzo"));
        QTest::mouseClick(v->Check1(), Qt::LeftButton);
        QVERIFY(v->enlace(0)->isEnabled());
        QTest::mouseClick(v->enlace(0), Qt::LeftButton);
        QVERIFY(!v->enlace(0)->isEnabled());
        QVERIFY(v->isVisible());

        // The typed line break is stored as the suite writes it.
        QCOMPARE(leerMensajeEnTrozos(krn(), "DocumentoPORemail", "Mensaje"),
                 std::string(150, 'a') + "\r\n" + std::string(100, 'b'));
        QCOMPARE(LeerIni(krn(), "DocumentoPORemail", "ASUNTO", ""),
                 std::string("Su factura de marzo"));
        QCOMPARE(LeerIni(krn(), "DocumentoPORemail", "ConfirmacionLeido", ""), std::string("1"));
        QCOMPARE(recargas_, 1);
        QCOMPARE(recargada_.mensaje, std::string(150, 'a') + "\r\n" + std::string(100, 'b'));
        QVERIFY(recargada_.pideConfirmacionLeido());
        QVERIFY(v->close());
        QVERIFY(dialogos_->cuadros().empty());
    }

    void theNoPasswordListIsEditedHereAndWrittenAtOnce() {
        auto v = abrir(kKrn);
        auto* nif = v->findChild<QLineEdit*>(QStringLiteral("txtNifSinContrasena"));
        auto* lista = v->findChild<QListWidget*>(QStringLiteral("lstSinContrasena"));
        QVERIFY(nif != nullptr && lista != nullptr);
        QCOMPARE(lista->count(), 0);
        const ListaSinContrasena guardada(
            ListaSinContrasena::archivoEn(CarpetaPrograma(carpeta_->path())));

        QTest::keyClicks(nif, QStringLiteral("12345678-A")); // a wrong letter: Z is right
        QTest::mouseClick(v->findChild<QPushButton*>(QStringLiteral("cmdAnadirSinContrasena")),
                          Qt::LeftButton);
        QCOMPARE(dialogos_->cuadros().size(), 1U);
        QVERIFY(guardada.leer().empty());

        nif->clear();
        QTest::keyClicks(nif, QStringLiteral("12345678-z"));
        QTest::keyClick(nif, Qt::Key_Return);
        QCOMPARE(guardada.leer(), std::set<std::string>{"12345678Z"});
        QCOMPARE(lista->count(), 1);
        QCOMPARE(lista->item(0)->text(), QStringLiteral("12345678Z"));
        QVERIFY(!v->enlace(0)->isEnabled()); // not part of the message's Guardar

        lista->setCurrentRow(0);
        QTest::mouseClick(v->findChild<QPushButton*>(QStringLiteral("cmdQuitarSinContrasena")),
                          Qt::LeftButton);
        QVERIFY(guardada.leer().empty());
        QCOMPARE(lista->count(), 0);
    }

    void protectionIsOffByDefaultAndSavedWithItsLineAndTheSizeLimit() {
        auto v = abrir(kKrn);
        QVERIFY(!v->chkProteger()->isChecked());
        QVERIFY(!v->txtLineaProteccion()->isEnabled());
        QCOMPARE(v->txtLineaProteccion()->text(),
                 QStringLiteral("El documento adjunto está protegido. La contraseña es su NIF, "
                                "con la letra en mayúscula."));
        QTest::mouseClick(v->chkProteger(), Qt::LeftButton);
        QVERIFY(v->txtLineaProteccion()->isEnabled());
        v->txtLineaProteccion()->selectAll();
        QTest::keyClicks(v->txtLineaProteccion(), QStringLiteral("Ábralo con su NIF."));
        v->txtTamanoMaximo()->setValue(2048);
        QTest::mouseClick(v->enlace(0), Qt::LeftButton);
        QCOMPARE(LeerIni(krn(), "DocumentoPORemail", "ProtegerConNIF", ""), std::string("1"));
        QCOMPARE(LeerIni(krn(), "DocumentoPORemail", "TamanoMaximoKB", ""), std::string("2048"));
        QVERIFY(recargada_.protegerConNif);
        QCOMPARE(recargada_.lineaProteccion, std::string("Ábralo con su NIF."));
        QCOMPARE(recargada_.tamanoMaximoKb, std::uintmax_t{2048});
        // The settings file is Windows-1252: the accent is stored as one byte.
        QVERIFY(archivo().find("LineaProteccion=\xC1"
                               "bralo con su NIF.") != std::string::npos);
    }
};

QTEST_MAIN(FrmConfigMsgFacturaTest)
#include "FrmConfigMsgFacturaTest.moc"
