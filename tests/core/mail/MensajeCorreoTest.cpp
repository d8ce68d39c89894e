#include "mail/MensajeCorreo.h"

#include "mail/clsCDOmail.h"
#include "platform/ConnectivityProbe.h"

#include <clocale>
#include <gtest/gtest.h>

namespace envio {
namespace {

std::string decodificarBase64(std::string_view texto) {
    static const std::string alfabeto =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string salida;
    unsigned acumulado = 0;
    int bits = 0;
    for (const char ch : texto) {
        if (ch == '=') {
            break;
        }
        acumulado = acumulado << 6 | static_cast<unsigned>(alfabeto.find(ch));
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            salida += static_cast<char>(acumulado >> bits & 0xFF);
        }
    }
    return salida;
}

bool esUtf8Valido(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t largo = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : 4;
        if (i + largo > s.size()) {
            return false;
        }
        for (std::size_t k = 1; k < largo; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += largo;
    }
    return true;
}

// Decodes a folded run of encoded-words, checking each one on the way as a reader would.
std::string leerPalabrasCodificadas(const std::string& valor) {
    std::string texto;
    std::size_t pos = 0;
    while (pos < valor.size()) {
        const auto fin = valor.find("\r\n ", pos);
        const std::string palabra = valor.substr(pos, fin == std::string::npos ? fin : fin - pos);
        EXPECT_LE(palabra.size(), 75u) << palabra;
        EXPECT_TRUE(palabra.starts_with("=?UTF-8?B?") && palabra.ends_with("?=")) << palabra;
        const std::string parte = decodificarBase64(palabra.substr(10, palabra.size() - 12));
        EXPECT_TRUE(esUtf8Valido(parte)) << "a word splits a character: " << palabra;
        texto += parte;
        pos = fin == std::string::npos ? valor.size() : fin + 3;
    }
    return texto;
}

TEST(MensajeCorreoTest, SubjectsGoOutPlainOrAsWholeCharacterEncodedWords) {
    EXPECT_EQ(codificarTextoCabecera("Factura 2026/03 de ACME, S.L."),
              "Factura 2026/03 de ACME, S.L.");

    std::string largo;
    for (int i = 0; i < 40; ++i) {
        largo += "Nómina de €uros ñ ";
    }
    const std::string codificado = codificarTextoCabecera(largo);
    EXPECT_EQ(leerPalabrasCodificadas(codificado), largo);

    // Text that looks like an encoded-word would be decoded by the reader: it is encoded too.
    EXPECT_EQ(leerPalabrasCodificadas(codificarTextoCabecera("=?UTF-8?B?SG9sYQ==?=")),
              "=?UTF-8?B?SG9sYQ==?=");
}

TEST(MensajeCorreoTest, NoLineBreakOfAPropertyReachesAHeader) {
    EXPECT_EQ(codificarTextoCabecera("Hola\r\nBcc: victima@ejemplo.es"),
              "Hola  Bcc: victima@ejemplo.es");
    const std::string acentuado = codificarTextoCabecera("Año\r\nBcc: x@y.es\n\x01");
    EXPECT_EQ(leerPalabrasCodificadas(acentuado), "Año  Bcc: x@y.es  ");

    for (const char* malo :
         {"a@b.es\r\nBcc: x@y.es", "a@b.es\nRCPT TO:<x@y.es>", "Juan <a@b.es>\r\nBcc: x@y.es",
          "a@b.es>\r\n", "\"Juan\r\n\" <a@b.es>"}) {
        EXPECT_EQ(leerDirecciones(malo), std::nullopt) << malo;
    }
    EXPECT_EQ(leerDirecciones(std::string("a@b.es\0x@y.es", 13)), std::nullopt);
    const auto cabeceras = cabecerasAdjunto("/tmp/Factura\r\nBcc: x@y.es.pdf");
    for (const auto& linea : cabeceras) {
        EXPECT_EQ(linea.find_first_of("\r\n"), std::string::npos) << linea;
    }
}

TEST(MensajeCorreoTest, ReadsTheAddressFormsThatOwnersGive) {
    auto una = leerDirecciones("  cliente@ejemplo.es ");
    ASSERT_TRUE(una);
    ASSERT_EQ(una->size(), 1u);
    EXPECT_EQ(una->front().direccion, "cliente@ejemplo.es");
    EXPECT_EQ(escribirBuzon(una->front()), "cliente@ejemplo.es");

    auto varias = leerDirecciones("\"Pérez, Ana\" <ana@ejemplo.es>; Luis <luis@ejemplo.es>,");
    ASSERT_TRUE(varias);
    ASSERT_EQ(varias->size(), 2u);
    EXPECT_EQ(varias->at(0).nombre, "Pérez, Ana");
    EXPECT_EQ(varias->at(0).direccion, "ana@ejemplo.es");
    EXPECT_EQ(varias->at(1).direccion, "luis@ejemplo.es");
    EXPECT_EQ(escribirBuzon(varias->at(1)), "Luis <luis@ejemplo.es>");
    EXPECT_EQ(escribirBuzon({"ACME, S.L.", "a@b.es"}), "\"ACME, S.L.\" <a@b.es>");
    const std::string acentos = escribirBuzon(varias->at(0));
    ASSERT_TRUE(acentos.ends_with(" <ana@ejemplo.es>"));
    EXPECT_EQ(leerPalabrasCodificadas(acentos.substr(0, acentos.size() - 17)), "Pérez, Ana");

    for (const char* malo : {"", " ; ", "sin-arroba", "@ejemplo.es", "a@", "a@b@c.es", "a b@c.es",
                             "Juan <a@b.es", "\"Juan <a@b.es>", "a@b.es, malo"}) {
        EXPECT_EQ(leerDirecciones(malo), std::nullopt) << malo;
    }
}

TEST(MensajeCorreoTest, DatesAreInEnglishWhateverTheLocale) {
    const char* antes = std::setlocale(LC_ALL, nullptr);
    const std::string guardado = antes != nullptr ? antes : "C";
    std::setlocale(LC_ALL, "es_ES.UTF-8");
    // 2026-12-06 07:51:22 UTC
    EXPECT_EQ(fechaCorreo(1796543482, 3600), "Sun, 06 Dec 2026 08:51:22 +0100");
    EXPECT_EQ(fechaCorreo(1796543482, -(3 * 3600 + 30 * 60)), "Sun, 06 Dec 2026 04:21:22 -0330");
    EXPECT_EQ(fechaCorreo(1796543482 - 7 * 86400 * 27, 0), "Sun, 31 May 2026 07:51:22 +0000");
    std::setlocale(LC_ALL, guardado.c_str());
}

TEST(MensajeCorreoTest, AttachmentNamesReachEveryKindOfReader) {
    EXPECT_EQ(cabecerasAdjunto("/docs/Factura \"2026\".PDF"),
              (std::vector<std::string>{
                  "Content-Type: application/pdf; name=\"Factura \\\"2026\\\".PDF\"",
                  "Content-Disposition: attachment; filename=\"Factura \\\"2026\\\".PDF\""}));
    const auto acentos = cabecerasAdjunto("/docs/Nómina enero.pdf");
    ASSERT_EQ(acentos.size(), 2u);
    EXPECT_EQ(acentos[1],
              "Content-Disposition: attachment; filename*=UTF-8''N%C3%B3mina%20enero.pdf");
    const std::string prefijo = "Content-Type: application/pdf; name=\"";
    ASSERT_TRUE(acentos[0].starts_with(prefijo));
    EXPECT_EQ(leerPalabrasCodificadas(
                  acentos[0].substr(prefijo.size(), acentos[0].size() - prefijo.size() - 1)),
              "Nómina enero.pdf");
    EXPECT_TRUE(cabecerasAdjunto("/docs/datos.bin")[0].starts_with(
        "Content-Type: application/octet-stream;"));
}

TEST(MensajeCorreoTest, PortTextsReadAsNumbersTheWayTheSettingsScreenAllowed) {
    EXPECT_EQ(leerNumero("25"), 25.0);
    EXPECT_EQ(leerNumero("  587 "), 587.0);
    EXPECT_EQ(leerNumero("+465"), 465.0);
    EXPECT_EQ(leerNumero("25,5"), 25.5);
    EXPECT_EQ(leerNumero("2.5e1"), 25.0);
    EXPECT_EQ(leerNumero("&H19"), 25.0);
    EXPECT_EQ(leerNumero("&o31"), 25.0);
    EXPECT_EQ(leerNumero("-1"), -1.0);
    for (const char* malo :
         {"", "   ", "abc", "25abc", "2 5", "+", "++5", "nan", "inf", "&H", "&HZZ", "0x19"}) {
        EXPECT_EQ(leerNumero(malo), std::nullopt) << malo;
    }
}

TEST(ConnectivityProbeTest, ALoopbackServerNeedsNoNetwork) {
    for (const char* local : {"localhost", "LOCALHOST.", "smtp.localhost", "127.0.0.1", "127.1.2.3",
                              "::1", "[::1]", "::ffff:127.0.0.1"}) {
        EXPECT_TRUE(isLocalServer(local)) << local;
    }
    for (const char* remoto : {"smtp.ejemplo.es", "192.0.2.1", "128.0.0.1", "localhost.es", "::2",
                               "", "nohost.invalid"}) {
        EXPECT_FALSE(isLocalServer(remoto)) << remoto;
    }
}

TEST(ConnectivityProbeTest, OnlyUsableDefaultRoutesCount) {
    const std::string v4 =
        "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
        "eth0\t00000000\t010200C0\t0003\t0\t0\t0\t00000000\t0\t0\t0\n"
        "wlan0\t000200C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n"
        "tun0\t00000000\t00000000\t0000\t0\t0\t0\t00000000\t0\t0\t0\n";
    const std::string v6 =
        "00000000000000000000000000000000 00 00000000000000000000000000000000 00 "
        "fd000000000000000000000000000001 00000400 00000002 00000000 00000003     wwan0\n"
        "00000000000000000000000000000000 00 00000000000000000000000000000000 00 "
        "00000000000000000000000000000000 ffffffff 00000001 00000000 00200200       lo\n"
        "fd000000000000000000000000000000 40 00000000000000000000000000000000 00 "
        "00000000000000000000000000000000 00000100 00000001 00000000 00000001     eth1\n";
    EXPECT_EQ(interfacesWithDefaultRoute(v4, v6), (std::set<std::string>{"eth0", "wwan0"}));
    EXPECT_TRUE(interfacesWithDefaultRoute("", "").empty());
    EXPECT_TRUE(LinuxConnectivityProbe().hasConnection("127.0.0.1"));
}

} // namespace
} // namespace envio
