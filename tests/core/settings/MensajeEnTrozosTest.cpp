// A message body kept in 200-character keys: every window and run that stores a body goes
// through these two functions, so their rules are checked here once, case by case.
#include "settings/MensajeEnTrozos.h"

#include "TemporaryFolder.h"
#include "settings/IniFile.h"

#include <gtest/gtest.h>

namespace envio {
namespace {

using test::TemporaryFolder;

std::string repetir(const std::string& s, int n) {
    std::string r;
    for (int i = 0; i < n; ++i) {
        r += s;
    }
    return r;
}

struct Caso {
    const char* nombre;
    std::string antes;                // the section's lines before the save
    std::string cuerpo;               // what is saved
    std::vector<std::string> trozos;  // Mensaje0, Mensaje1, ...: "-" when the key is absent
    std::optional<std::string> leido; // what reads back, when it is not `cuerpo`
};

TEST(MensajeEnTrozosTest, StoresAndReadsBackEveryShapeOfBody) {
    const std::string aes(200, 'a');
    const std::vector<Caso> casos = {
        {"200 characters take one key", "", aes, {aes, "-"}, {}},
        {"201 take two", "", aes + "c", {aes, "c", "-"}, {}},
        {"characters, not bytes", "", repetir("ñ", 201), {repetir("ñ", 200), "ñ", "-"}, {}},
        {"a marker cut by the boundary",
         "",
         std::string(198, 'a') + "\r\nb",
         {std::string(198, 'a') + "[L", "F][CR]b", "-"},
         {}},
        {"a shorter body empties the old chunks",
         "Mensaje0=uno\r\nMensaje1=dos\r\nMensaje2=tres\r\n",
         "corto",
         {"corto", "", "", "-"},
         {}},
        {"an empty body empties every chunk",
         "Mensaje0=uno\r\nMensaje1=dos\r\n",
         "",
         {"", "", "-"},
         {}},
        {"old chunks behind a gap are not joined",
         "Mensaje0=\r\nMensaje1=\r\nMensaje2=resto de otro\r\nMensaje3=y mas\r\n",
         std::string(400, 'n') + "fin",
         {std::string(200, 'n'), std::string(200, 'n'), "fin", ""},
         {}},
        {"a run of blanks is kept to 100",
         "",
         "uno" + std::string(500, ' ') + "dos",
         {"uno" + std::string(100, ' ') + "dos", "-"},
         "uno" + std::string(100, ' ') + "dos"},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.nombre);
        TemporaryFolder carpeta;
        const auto krn = carpeta.write("KRN.INI", "[Aviso]\r\n" + c.antes);
        ASSERT_TRUE(escribirMensajeEnTrozos(krn, "Aviso", "Mensaje", c.cuerpo));
        for (std::size_t n = 0; n < c.trozos.size(); ++n) {
            EXPECT_EQ(LeerIni(krn, "Aviso", "Mensaje" + std::to_string(n), "-"), c.trozos[n]) << n;
        }
        EXPECT_EQ(leerMensajeEnTrozos(krn, "Aviso", "Mensaje"), c.leido.value_or(c.cuerpo));
    }
}

TEST(MensajeEnTrozosTest, ReadingStopsAtTheFirstEmptyOrMissingChunk) {
    TemporaryFolder carpeta;
    const auto krn = carpeta.write(
        "KRN.INI", "[A]\r\nM0=\r\nM1=perdido\r\n[B]\r\nM0=uno\r\nM1=dos\r\nM3=perdido\r\n");
    EXPECT_EQ(leerMensajeEnTrozos(krn, "A", "M"), "");
    EXPECT_EQ(leerMensajeEnTrozos(krn, "B", "M"), "unodos");
}

TEST(MensajeEnTrozosTest, NoChunkStartsOrEndsWithWhatReadingDrops) {
    // Blanks at a chunk's ends are trimmed on reading, and a chunk that begins and ends with a
    // quote loses both: the cuts move so that neither happens.
    EXPECT_EQ(cortarEnTrozos(std::string(401, 'a')),
              (std::vector<std::string>{std::string(200, 'a'), std::string(200, 'a'), "a"}));
    EXPECT_EQ(cortarEnTrozos(std::string(199, 'a') + " b"),
              (std::vector<std::string>{std::string(198, 'a'), "a b"}));
    EXPECT_EQ(cortarEnTrozos(std::string(199, 'a') + "x yz"),
              (std::vector<std::string>{std::string(199, 'a'), "x yz"}));
    EXPECT_EQ(cortarEnTrozos(std::string(200, 'a') + " z"),
              (std::vector<std::string>{std::string(199, 'a'), "a z"}));
    EXPECT_EQ(cortarEnTrozos("'hola'"), (std::vector<std::string>{"'hola", "'"}));
    EXPECT_TRUE(cortarEnTrozos("").empty());

    // Over a whole body of short words and quoted ones, every chunk reads back as written.
    std::string cuerpo;
    for (int i = 0; i < 120; ++i) {
        cuerpo += (i % 7 == 3) ? "'abc' " : "plazo ";
    }
    cuerpo += "fin";
    TemporaryFolder carpeta;
    const auto krn = carpeta.write("KRN.INI", "");
    ASSERT_TRUE(escribirMensajeEnTrozos(krn, "Aviso", "Mensaje", cuerpo));
    EXPECT_EQ(leerMensajeEnTrozos(krn, "Aviso", "Mensaje"), cuerpo);
}

} // namespace
} // namespace envio
