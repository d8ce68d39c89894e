#include "screens/PantallaMensaje.h"

#include "DialogosGrabados.h"
#include "TemporaryFolder.h"
#include "settings/ConfiguracionCorreo.h"
#include "settings/IniFile.h"

#include <gtest/gtest.h>

namespace envio {
namespace {

using test::DialogosGrabados;
using test::TemporaryFolder;

constexpr const char* kSeccion = "DocumentoPORemail";

class PantallaMensajeTest : public ::testing::Test {
protected:
    TemporaryFolder carpeta;
    DialogosGrabados dialogos;
    std::filesystem::path krn = carpeta / "KRN.INI";

    std::unique_ptr<PantallaMensaje> abrir(RecargarCorreo recargar = {}) {
        auto p = std::make_unique<PantallaMensaje>(krn, dialogos, std::move(recargar));
        p->cargar();
        return p;
    }
    std::string archivo() const { return TemporaryFolder::readPath(krn); }
    std::string trozo(int n) const {
        return LeerIni(krn, kSeccion, "Mensaje" + std::to_string(n), "-");
    }

    // Saves `cuerpo` through the window, as typed.
    void guardar(const std::string& cuerpo) {
        auto p = abrir();
        p->cambiarMensaje(cuerpo);
        ASSERT_TRUE(p->pulsarGuardar());
    }
};

TEST_F(PantallaMensajeTest, LoadingJoinsTheChunksAndUndoesTheMarkers) {
    carpeta.write("KRN.INI",
                  "[DocumentoPORemail]\r\nAsunto=Su factura\r\n"
                  "Mensaje0=Hola[LF][CR]\r\nMensaje1=Adi\xF3s\r\nConfirmacionLeido=1\r\n");
    const auto p = abrir();
    EXPECT_EQ(p->asunto(), "Su factura");
    EXPECT_EQ(p->mensaje(), "Hola\r\nAdiós");
    EXPECT_EQ(p->mensajeParaEditar(), "Hola\nAdiós");
    EXPECT_TRUE(p->confirmacion());
    EXPECT_FALSE(p->guardarHabilitado());
}

TEST_F(PantallaMensajeTest, AFileWithoutTheSectionGivesEmptyTextsAndNoReceipt) {
    carpeta.write("KRN.INI", "[servidor]\r\nServidor=smtp\r\n");
    const auto p = abrir();
    EXPECT_EQ(p->asunto(), "");
    EXPECT_EQ(p->mensaje(), "");
    EXPECT_FALSE(p->confirmacion());
}

TEST_F(PantallaMensajeTest, TheReceiptIsTickedForAnyNumberButZero) {
    for (const auto& [valor, marcado] : std::vector<std::pair<std::string, bool>>{
             {"1", true}, {"0", false}, {"", false}, {"no", false}, {"2", true}}) {
        TemporaryFolder::writePath(krn,
                                   "[DocumentoPORemail]\r\nConfirmacionLeido=" + valor + "\r\n");
        EXPECT_EQ(abrir()->confirmacion(), marcado) << valor;
    }
}

TEST_F(PantallaMensajeTest, SavingStoresTheSubjectTheEscapedBodyAndTheReceiptAsOne) {
    carpeta.write("KRN.INI", "[Facturaci\xF3n]\r\nRuta=C:\\Suite\r\n");
    std::optional<ConfiguracionCorreo> recargada;
    auto p = abrir([&](const ConfiguracionCorreo& c) { recargada = c; });
    p->cambiarAsunto("Factura de D'Angelo");
    p->cambiarMensaje("Estimado cliente:\nAdjuntamos su factura.");
    p->marcarConfirmacion(true);
    EXPECT_TRUE(p->guardarHabilitado());
    ASSERT_TRUE(p->pulsarGuardar());
    EXPECT_FALSE(p->guardarHabilitado());
    EXPECT_TRUE(dialogos.cuadros().empty());
    EXPECT_EQ(archivo(), "[Facturaci\xF3n]\r\nRuta=C:\\Suite\r\n"
                         "[DocumentoPORemail]\r\n"
                         "Asunto=Factura de D'Angelo\r\n"
                         "Mensaje0=Estimado cliente:[LF][CR]Adjuntamos su factura.\r\n"
                         "ConfirmacionLeido=1\r\n");
    // The sending runs get the new texts at once.
    ASSERT_TRUE(recargada);
    EXPECT_EQ(recargada->asunto, "Factura de D'Angelo");
    EXPECT_EQ(recargada->mensaje, "Estimado cliente:\r\nAdjuntamos su factura.");
    EXPECT_TRUE(recargada->pideConfirmacionLeido());

    p->marcarConfirmacion(false);
    ASSERT_TRUE(p->pulsarGuardar());
    EXPECT_EQ(LeerIni(krn, kSeccion, "ConfirmacionLeido", "-"), "0");
}

TEST_F(PantallaMensajeTest, EveryLineBreakIsStoredAsTheSuiteWritesIt) {
    guardar("a\nb\rc\r\nd");
    EXPECT_EQ(trozo(0), "a[LF][CR]b[LF][CR]c[LF][CR]d");
    EXPECT_EQ(abrir()->mensajeParaEditar(), "a\nb\nc\nd");
}

TEST_F(PantallaMensajeTest, OpeningAndClosingAsksNothingAndWritesNothing) {
    const char* contenido = "[DocumentoPORemail]\r\nAsunto=x\r\nMensaje0=y\r\n";
    carpeta.write("KRN.INI", contenido);
    EXPECT_TRUE(abrir()->cerrar());
    EXPECT_TRUE(dialogos.cuadros().empty());
    EXPECT_EQ(archivo(), contenido);
}

TEST_F(PantallaMensajeTest, TickingAndUntickingCountsAsAChangeAndNoKeepsTheFile) {
    const char* contenido =
        "[DocumentoPORemail]\r\nAsunto=x\r\nMensaje0=y\r\nConfirmacionLeido=0\r\n";
    carpeta.write("KRN.INI", contenido);
    auto p = abrir();
    p->marcarConfirmacion(true);
    p->marcarConfirmacion(false);
    EXPECT_TRUE(p->guardarHabilitado());
    dialogos.responder(Respuesta::No);
    EXPECT_TRUE(p->cerrar());
    ASSERT_EQ(dialogos.cuadros().size(), 1u);
    EXPECT_EQ(dialogos.cuadros()[0], (CuadroMensaje{"¿Desea guardar los cambios?", "Aviso",
                                                    Icono::Pregunta, Botones::SiNo}));
    EXPECT_EQ(archivo(), contenido);
}

TEST_F(PantallaMensajeTest, ClosingWithYesSavesAndReloads) {
    int recargas = 0;
    auto p = abrir([&](const ConfiguracionCorreo&) { ++recargas; });
    p->cambiarAsunto("Nuevo");
    dialogos.responder(Respuesta::Si);
    EXPECT_TRUE(p->cerrar());
    EXPECT_EQ(LeerIni(krn, kSeccion, "ASUNTO", ""), "Nuevo");
    EXPECT_EQ(recargas, 1);
}

TEST_F(PantallaMensajeTest, AFailedSaveIsToldAndTheWindowStaysWithItsChanges) {
    krn = carpeta / "no-existe" / "KRN.INI";
    int recargas = 0;
    auto p = abrir([&](const ConfiguracionCorreo&) { ++recargas; });
    p->cambiarAsunto("Nuevo");
    dialogos.responder(Respuesta::Si);
    EXPECT_FALSE(p->cerrar());
    ASSERT_EQ(dialogos.cuadros().size(), 2u);
    EXPECT_EQ(dialogos.cuadros()[1].icono, Icono::Critico);
    EXPECT_TRUE(p->guardarHabilitado());
    EXPECT_EQ(recargas, 0);
}

TEST_F(PantallaMensajeTest, LettersTheSettingsFileCannotHoldAreRefusedAndNamed) {
    guardar("Cuerpo guardado");
    const std::string antes = archivo();
    auto p = abrir();
    p->cambiarAsunto("Factura de Łukasz");
    p->cambiarMensaje("Gracias, Łukasz 😀 y Œ");
    EXPECT_FALSE(p->pulsarGuardar());
    ASSERT_EQ(dialogos.cuadros().size(), 1U);
    // "Œ" is in the code page; the other two are not, each named once.
    EXPECT_EQ(dialogos.cuadros()[0],
              (CuadroMensaje{"El asunto o el mensaje contiene caracteres que no se pueden "
                             "guardar en la configuración: Ł 😀. Cámbielos antes de guardar.",
                             "Aviso", Icono::Exclamacion, Botones::Aceptar}));
    EXPECT_TRUE(p->guardarHabilitado());
    EXPECT_EQ(archivo(), antes);

    p->cambiarAsunto("Factura de Lukasz");
    p->cambiarMensaje("Gracias, Lukasz y Œ");
    EXPECT_TRUE(p->pulsarGuardar());
    EXPECT_EQ(abrir()->mensaje(), "Gracias, Lukasz y Œ");

    // A settings file in UTF-8 (it starts with the byte-order mark) holds every letter.
    carpeta.write("KRN.INI", "\xEF\xBB\xBF[DocumentoPORemail]\r\n");
    p->cambiarAsunto("Factura de Łukasz");
    EXPECT_TRUE(p->pulsarGuardar());
    EXPECT_EQ(abrir()->asunto(), "Factura de Łukasz");
    EXPECT_EQ(dialogos.cuadros().size(), 1U);
}

} // namespace
} // namespace envio
