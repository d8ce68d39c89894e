// The notice template in the settings file.
#include "mass/PlantillaAviso.h"

#include "DialogosGrabados.h"
#include "TemporaryFolder.h"
#include "settings/IniFile.h"

#include <gtest/gtest.h>

namespace envio::masivo {
namespace {

using test::TemporaryFolder;

class PlantillaAvisoTest : public ::testing::Test {
protected:
    TemporaryFolder folder;
    std::filesystem::path krn = folder / "KRN.INI";
    ConfiguracionCorreo correo;

    std::string clave(const std::string& nombre, const std::string& seccion = "AvisoPORemail") {
        return LeerIni(krn, seccion, nombre, "<falta>");
    }
    void guardar(const std::string& mensaje, const std::string& asunto = "Cierre por vacaciones",
                 bool confirmacion = false) {
        ASSERT_TRUE(GuardaDatos(krn, {asunto, mensaje, confirmacion}, correo));
    }
};

TEST_F(PlantillaAvisoTest, LineBreaksAreStoredAsMarkersAndComeBack) {
    guardar("Primera línea\r\nSegunda línea", "Aviso importante", true);
    EXPECT_EQ(clave("MensajeAviso0"), "Primera línea[LF][CR]Segunda línea");
    EXPECT_EQ(CargarPlantillaAviso(krn),
              (PlantillaAviso{"Aviso importante", "Primera línea\r\nSegunda línea", true}));
}

TEST_F(PlantillaAvisoTest, WritesTheReadReceiptInTheOtherSpellingAndTheEngineKey) {
    guardar("hola", "asunto", true);
    EXPECT_EQ(clave("AsuntoAviso"), "asunto");
    EXPECT_EQ(clave("ConfirmacionLectura", "AvisoPorEmail"), "1");
    EXPECT_EQ(clave("TipoMotor"), "MAPI");
    guardar("hola", "asunto", false);
    EXPECT_EQ(clave("ConfirmacionLectura", "AVISOPOREMAIL"), "0");
    EXPECT_FALSE(CargarPlantillaAviso(krn).confirmacion);
}

TEST_F(PlantillaAvisoTest, AMissingReadReceiptKeyStartsUnchecked) {
    EXPECT_EQ(CargarPlantillaAviso(krn), PlantillaAviso{});
    EscribirIni(krn, "AvisoPorEmail", "ConfirmacionLectura", "1.4");
    EXPECT_TRUE(CargarPlantillaAviso(krn).confirmacion);
    EscribirIni(krn, "AvisoPorEmail", "ConfirmacionLectura", "2");
    EXPECT_FALSE(CargarPlantillaAviso(krn).confirmacion);
}

TEST_F(PlantillaAvisoTest, SavingReloadsTheMailSettings) {
    EscribirIni(krn, "servidor", "Servidor", "smtp.ejemplo.es");
    EscribirIni(krn, "servidor", "Puerto", "587");
    guardar("hola");
    EXPECT_EQ(correo.servidor, "smtp.ejemplo.es");
    EXPECT_EQ(correo.puerto, 587);
}

TEST_F(PlantillaAvisoTest, TheWindowsSaveTellsAFailedWriteAndOnlyThat) {
    test::DialogosGrabados dialogos;
    EXPECT_TRUE(guardarPlantilla(krn, {"Asunto", "Cuerpo", false}, correo, dialogos));
    EXPECT_TRUE(dialogos.cuadros().empty());
    EXPECT_EQ(CargarPlantillaAviso(krn).asunto, "Asunto");

    const auto inalcanzable = folder / "no-existe" / "KRN.INI";
    EXPECT_FALSE(guardarPlantilla(inalcanzable, {"Asunto", "Cuerpo", false}, correo, dialogos));
    ASSERT_EQ(dialogos.cuadros().size(), 1U);
    EXPECT_EQ(dialogos.cuadros()[0],
              (CuadroMensaje{"No se pudo guardar el mensaje de aviso en " + inalcanzable.string() +
                                 ". Compruebe que el archivo no es de solo lectura.",
                             "Aviso", Icono::Critico, Botones::Aceptar}));
}

TEST_F(PlantillaAvisoTest, LettersTheSettingsFileCannotHoldAreToldAndTheNoticeIsStillSaved) {
    test::DialogosGrabados dialogos;
    EXPECT_TRUE(guardarPlantilla(krn, {"Cierre", "Hasta el lunes ✓", false}, correo, dialogos));
    ASSERT_EQ(dialogos.cuadros().size(), 1U);
    EXPECT_EQ(dialogos.cuadros()[0].texto,
              "El aviso contiene caracteres que no se pueden guardar en la configuración: ✓. La "
              "próxima vez aparecerán como «?».");
    EXPECT_EQ(CargarPlantillaAviso(krn).mensaje, "Hasta el lunes ?");
}

} // namespace
} // namespace envio::masivo
