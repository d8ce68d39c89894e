#include "settings/ConfiguracionCorreo.h"

#include "TemporaryFolder.h"
#include "settings/CodificarClave.h"
#include "settings/ConvertirCaracter.h"
#include "settings/IniFile.h"
#include "settings/NumeroInicial.h"
#include "settings/Windows1252.h"

#include <clocale>
#include <gtest/gtest.h>
#include <set>

namespace envio {
namespace {

using test::TemporaryFolder;

TEST(ConvertirCaracterTest, MarkersAreCrossedAndRoundTrip) {
    const std::string twoLines = "a\r\nb";
    EXPECT_EQ(codificarSaltos(twoLines), "a[LF][CR]b");
    EXPECT_EQ(decodificarSaltos("a[LF][CR]b"), twoLines);
    EXPECT_EQ(ConvertirCaracter("x\ny\nz", '\n', true), "x[CR]y[CR]z");
    EXPECT_EQ(ConvertirCaracter("it's", '\'', true), "it[CS]s");
    EXPECT_EQ(ConvertirCaracter("[cs][CS]", '\'', false), "[cs]'");
    EXPECT_EQ(codificarSaltos("sin saltos"), "sin saltos");
    // A user who typed a marker gets a line break back: the stored form cannot tell them apart.
    EXPECT_EQ(decodificarSaltos(codificarSaltos("ver [LF] aquí")), "ver \r aquí");
    EXPECT_EQ(ConvertirCaracter("a\tb", '\t', true), "a\tb");
}

TEST(NumeroInicialTest, ReadsTheLeadingNumberLikeTheSuite) {
    EXPECT_EQ(NumeroInicial("587"), 587);
    EXPECT_EQ(NumeroInicial("  25"), 25);
    EXPECT_EQ(NumeroInicial("2 5"), 25);
    EXPECT_EQ(NumeroInicial("abc"), 0);
    EXPECT_EQ(NumeroInicial(""), 0);
    EXPECT_EQ(NumeroInicial("12abc"), 12);
    EXPECT_EQ(NumeroInicial("-3"), -3);
    EXPECT_EQ(NumeroInicial("+7x"), 7);
    EXPECT_EQ(NumeroInicial("2.5"), 2.5);
    EXPECT_EQ(NumeroInicial("1e3"), 1000);
    EXPECT_EQ(NumeroInicial("4e"), 4);
    EXPECT_EQ(NumeroInicial("1.2.3"), 1.2);
    EXPECT_EQ(NumeroInicial("- 4"), -4);
    EXPECT_EQ(NumeroInicial("1e999"), 0);
}

TEST(NumeroInicialTest, IgnoresTheProcessLocale) {
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    if (std::setlocale(LC_NUMERIC, "es_ES.UTF-8") == nullptr &&
        std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) {
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    }
    EXPECT_EQ(NumeroInicial("2.5"), 2.5);
    EXPECT_EQ(NumeroInicial("2,5"), 2);
    std::setlocale(LC_NUMERIC, previous.c_str());
}

TEST(PuertoTest, RoundsHalfToEvenAndRejectsWhatIsNoPort) {
    EXPECT_EQ(puertoDesdeTexto("587"), 587);
    EXPECT_EQ(puertoDesdeTexto("abc"), 0);
    EXPECT_EQ(puertoDesdeTexto("24.5"), 24);
    EXPECT_EQ(puertoDesdeTexto("25.5"), 26);
    EXPECT_EQ(puertoDesdeTexto("25.51"), 26);
    EXPECT_EQ(puertoDesdeTexto("65535"), 65535);
    EXPECT_EQ(puertoDesdeTexto("65536"), 0);
    EXPECT_EQ(puertoDesdeTexto("-25"), 0);
}

TEST(CodificarClaveTest, ScramblesWithFillersAndUnscramblesBack) {
    const std::string scrambled = CodificarClave("ab", true);
    ASSERT_EQ(scrambled.size(), 4U);
    EXPECT_EQ(scrambled[0], 'c');
    EXPECT_EQ(scrambled[2], 'd');
    for (const char filler : {scrambled[1], scrambled[3]}) {
        EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(filler)) ||
                    std::isupper(static_cast<unsigned char>(filler)) ||
                    (filler >= 'a' && filler <= 'c'))
            << filler;
    }
    EXPECT_EQ(CodificarClave("c9dZ", false), "ab");
    EXPECT_EQ(CodificarClave("", true), "");
    EXPECT_EQ(CodificarClave("", false), "");
}

TEST(CodificarClaveTest, EveryWindows1252CharacterBelow254RoundTrips) {
    std::string all;
    for (int code = 1; code < 254; ++code) {
        all += static_cast<char>(code);
    }
    const std::string password = windows1252ToUtf8(all);
    const std::string scrambled = CodificarClave(password, true);
    EXPECT_EQ(utf8ToWindows1252(scrambled).size(), all.size() * 2);
    EXPECT_EQ(CodificarClave(scrambled, false), password);
    EXPECT_EQ(CodificarClave(CodificarClave("Contraseña€", true), false), "Contraseña€");
}

TEST(CodificarClaveTest, TheStoredTextDiffersBetweenSaves) {
    std::set<std::string> stored;
    for (int i = 0; i < 5; ++i) {
        stored.insert(CodificarClave("secreto-largo", true));
    }
    EXPECT_GT(stored.size(), 1U);
}

class CargarConfiguracionTest : public ::testing::Test {
protected:
    TemporaryFolder folder;
    std::filesystem::path ini = folder / "krn.ini";
};

TEST_F(CargarConfiguracionTest, AMissingFileGivesTheDefaults) {
    const ConfiguracionCorreo c = CargarConfiguracion(ini);
    EXPECT_EQ(c.servidor, "");
    EXPECT_EQ(c.puerto, 25);
    EXPECT_FALSE(c.ssl);
    EXPECT_EQ(c.password, "");
    EXPECT_EQ(c.asunto, "");
    EXPECT_EQ(c.mensaje, "");
    EXPECT_FALSE(c.pideConfirmacionLeido());
}

TEST_F(CargarConfiguracionTest, ReadsEveryKeyFromItsSection) {
    folder.write("krn.ini", "[Servidor]\r\nservidor=smtp.ejemplo.es\r\npuerto= 587\r\n"
                            "CUENTA=envios@ejemplo.es\r\nusuario=envios\r\nPassword=" +
                                utf8ToWindows1252(CodificarClave("clave ñ", true)) +
                                "\r\nSSL=1\r\n[documentoporemail]\r\nAsunto=Su factura\r\n"
                                "Mensaje0=Hola[LF]\r\nMensaje1=[CR]Adi\xF3s\r\n"
                                "ConfirmacionLeido=1\r\n");
    const ConfiguracionCorreo c = CargarConfiguracion(ini);
    EXPECT_EQ(c.servidor, "smtp.ejemplo.es");
    EXPECT_EQ(c.puerto, 587);
    EXPECT_EQ(c.cuenta, "envios@ejemplo.es");
    EXPECT_EQ(c.usuario, "envios");
    EXPECT_EQ(c.password, "clave ñ");
    EXPECT_TRUE(c.ssl);
    EXPECT_EQ(c.asunto, "Su factura");
    EXPECT_EQ(c.mensaje, "Hola\r\nAdiós");
    EXPECT_TRUE(c.pideConfirmacionLeido());
}

TEST_F(CargarConfiguracionTest, SslAndPortTexts) {
    for (const auto& [stored, on] : std::vector<std::pair<std::string, bool>>{{"SSL=1", true},
                                                                              {"SSL=0", false},
                                                                              {"SSL=", false},
                                                                              {"SSL=abc", false},
                                                                              {"SSL= 2", true},
                                                                              {"", false}}) {
        folder.write("krn.ini", "[servidor]\r\nPuerto=abc\r\n" + stored + "\r\n");
        const ConfiguracionCorreo c = CargarConfiguracion(ini);
        EXPECT_EQ(c.ssl, on) << stored;
        EXPECT_EQ(c.puerto, 0);
    }
}

} // namespace
} // namespace envio
