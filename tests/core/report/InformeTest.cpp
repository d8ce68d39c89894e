#include "report/Informe.h"

#include "TemporaryFolder.h"
#include "database/BaseDatos.h"
#include "report/FormulaInforme.h"
#include "report/TablaTrabajo.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace envio {
namespace {

using test::TemporaryFolder;

const std::filesystem::path kDatos = ENVIO_REPORT_DATA;

std::string definicionEnvio() {
    return TemporaryFolder::readPath(kDatos / "9Fac0019.rpt");
}

// Every character is as wide as the font is tall over three: plain enough to reason about.
class MedidaFija : public MedidaTexto {
public:
    [[nodiscard]] double ancho(std::string_view texto, const Fuente& fuente) const override {
        double caracteres = 0;
        for (const char c : texto) {
            caracteres += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
        }
        return caracteres * fuente.puntos / 3 * 25.4 / 72;
    }
};

std::vector<std::string> textosDe(const PaginaInforme& pagina) {
    std::vector<std::string> textos;
    for (const auto& t : pagina.textos) {
        textos.push_back(t.texto);
    }
    return textos;
}

bool contiene(const PaginaInforme& pagina, const std::string& texto) {
    const auto textos = textosDe(pagina);
    return std::find(textos.begin(), textos.end(), texto) != textos.end();
}

TEST(FormulaInformeTest, AnyValueComesBackAsWrittenThroughItsFormula) {
    for (const std::string valor :
         {"", "Envio de facturas", "D'Angelo", "'", "''", "a''b", "Asunto: «Nóminas» de año 2026",
          "\"comillas\"", "{@Usuario}"}) {
        EXPECT_EQ(evaluarFormula(formulaDeTexto(valor)), valor) << valor;
    }
    EXPECT_EQ(formulaDeTexto(""), "''");
    EXPECT_EQ(formulaDeTexto("D'Angelo"), "'D''Angelo'");
    EXPECT_EQ(evaluarFormula("  \"di \"\"hola\"\"\"  "), "di \"hola\"");
    EXPECT_EQ(evaluarFormula("   "), "");
    // What a careless caller would write with a quote in the value must be refused, not
    // shown cut short.
    for (const std::string mala :
         {"'D'Angelo'", "'sin cerrar", "sin comillas", "'a' + 'b'", "'", "\"mezcla'"}) {
        EXPECT_THROW((void)evaluarFormula(mala), ErrorInforme) << mala;
    }
}

TEST(DefinicionInformeTest, TheShippedDefinitionReadsTheWorkTable) {
    const DefinicionInforme d = leerDefinicionInforme(definicionEnvio());
    EXPECT_EQ(d.tabla, "INFORMETMP2008");
    EXPECT_EQ(d.orden, "Id");
    ASSERT_EQ(d.columnas.size(), 3U);
    EXPECT_EQ(d.columnas[1].titulo, "Dirección de correo");
}

TEST(DefinicionInformeTest, AFaultyDefinitionNamesTheLineAtFault) {
    const std::string cabeza = "[Informe]\nFormato=1\n[Columnas]\nColumna=CAMPO1,1,Uno\n";
    const std::vector<std::pair<std::string, std::string>> casos = {
        {"[Columnas]\nColumna=CAMPO1,1,Uno\n", "Formato=1"},
        {"\xEF\xBB\xBF[Informe]\nFormato=2\n", "línea 2"},
        {cabeza + "[Otra]\n", "línea 5: sección desconocida"},
        {cabeza + "[Cabecera]\nTexto=Hola {@Nadie}\n", "línea 6: fórmula no definida {@Nadie}"},
        {cabeza + "[Cabecera]\nTexto=Hola {Nada}\n", "línea 6: campo desconocido {Nada}"},
        {cabeza + "[Cabecera]\nTexto=Hola {Fecha\n", "línea 6"},
        {cabeza + "[Formulas]\n{@A}='sin cerrar\n", "línea 6"},
        {cabeza + "[Formulas]\n{@A}=''\n{@A}='x'\n", "línea 7: fórmula repetida"},
        {cabeza + "Columna=CAMPO2,0,Dos\n", "línea 5: número no válido"},
        {cabeza + "Columna=CAMPO2;1\n", "línea 5"},
        {cabeza + "[Informe]\nTabla=INFORME; DROP\n", "línea 6: nombre de tabla"},
        {cabeza + "[Informe]\nMargenes=1,2,3\n", "línea 6"},
        {"[Informe]\nFormato=1\n", "no hay columnas"},
        {std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1\0\0binario", 16), "línea 1"},
    };
    for (const auto& [texto, esperado] : casos) {
        try {
            (void)leerDefinicionInforme(texto);
            ADD_FAILURE() << "aceptado: " << texto;
        } catch (const ErrorInforme& e) {
            EXPECT_NE(std::string(e.what()).find(esperado), std::string::npos)
                << e.what() << " / " << esperado;
        }
    }
    // Written by hand: case and accents of the keys do not matter, comments are skipped.
    const auto d =
        leerDefinicionInforme("; nota\n[INFORME]\r\nformato = 1\r\nOrientación=Horizontal\n"
                              "[Fórmulas]\n{@a=b}='x'\n[Columnas]\ncolumna=C,2,Una, coma\n"
                              "[Pie]\nPequeño={@a=b}|{Página}/{páginas} {{literal}\n");
    EXPECT_TRUE(d.apaisado);
    EXPECT_EQ(d.columnas[0].titulo, "Una, coma");
    EXPECT_EQ(d.valorFormula("{@a=b}"), "x");
    ASSERT_EQ(d.pie.size(), 1U);
    EXPECT_EQ(d.pie[0].derecha.size(), 4U);
}

class InformeTest : public ::testing::Test {
protected:
    TemporaryFolder folder;
    CarpetaPrograma carpeta{folder.path()};
    MedidaFija medida;

    std::filesystem::path baseConFilas(const std::vector<std::array<std::string, 3>>& filas) {
        const auto base = prepararBaseTrabajo(carpeta).baseDatos;
        auto db = BaseDatos::abrir(base);
        for (const auto& f : filas) {
            db->agregarRegistro("INFORMETMP2008", {{"CAMPO1", Valor::texto(f[0])},
                                                   {"CAMPO2", Valor::texto(f[1])},
                                                   {"CAMPO3", Valor::texto(f[2])}});
        }
        return base;
    }
};

TEST_F(InformeTest, TheDefinitionIsFoundInTheProgramFolderFirstInAnyCaseThenInTheDataFolders) {
    TemporaryFolder datos;
    datos.write("9fac0019.RPT", definicionEnvio());
    EXPECT_EQ(cargarDefinicionInforme(carpeta, "9Fac0019.rpt", {datos.path()}).columnas.size(), 3U);

    folder.write("9FAC0019.RPT", "[Informe]\nFormato=1\n[Columnas]\nColumna=CAMPO9,1,Propia\n");
    EXPECT_EQ(cargarDefinicionInforme(carpeta, "9Fac0019.rpt", {datos.path()}).columnas[0].campo,
              "CAMPO9");
}

TEST_F(InformeTest, AMissingOrUnreadableDefinitionGivesTheProgramsMessage) {
    const std::string mensaje(kReporteNoEncontrado);
    const auto fallo = [&](std::string_view fichero, const std::vector<std::filesystem::path>& o) {
        try {
            (void)cargarDefinicionInforme(carpeta, fichero, o);
        } catch (const ErrorInforme& e) {
            return std::string(e.what());
        }
        return std::string("sin error");
    };
    EXPECT_EQ(fallo("9Fac0019.rpt", {}), mensaje);
    EXPECT_EQ(fallo("9Fac0019.rpt", {folder / "no-existe"}), mensaje);
    std::filesystem::create_directory(folder / "9Fac0019.rpt");
    EXPECT_EQ(fallo("9Fac0019.rpt", {kDatos}), mensaje) << "a folder in its place is not read";
    EXPECT_EQ(fallo("../data/9Fac0019.rpt", {kDatos}), mensaje);
    EXPECT_EQ(fallo("", {kDatos}), mensaje);

    folder.write("roto.rpt", "[Informe]\nFormato=1\nPapel=Carta\n");
    const std::string roto = fallo("roto.rpt", {});
    EXPECT_EQ(roto.substr(0, mensaje.size() + 1), mensaje + "\n");
    EXPECT_NE(roto.find("roto.rpt, línea 3"), std::string::npos) << roto;
}

TEST_F(InformeTest, TheRequestSetsOnlyTheFormulasTheDefinitionHasByTheirExactNames) {
    folder.write("parcial.rpt", "[Informe]\nFormato=1\n[Formulas]\n{@TituloInforme}='De fábrica'\n"
                                "{@usuario}='minúsculas'\n{@Otra}='queda'\n"
                                "[Cabecera]\nTexto={@TituloInforme}/{@usuario}/{@Otra}\n"
                                "[Columnas]\nColumna=CAMPO1,1,Uno\n");
    SolicitudInforme s{"", "Sin campo propio", baseConFilas({}), "PARCIAL.rpt", "D'Angelo"};
    DatosInforme datos = cargarDatosInforme(s, carpeta, {});
    EXPECT_EQ(datos.definicion.valorFormula("{@TituloInforme}"), "")
        << "an empty title stays empty";
    EXPECT_EQ(datos.definicion.valorFormula("{@usuario}"), "minúsculas");
    EXPECT_EQ(datos.definicion.valorFormula("{@Otra}"), "queda");
    EXPECT_EQ(datos.definicion.formulas.size(), 3U) << "no formula is added";
    const auto informe = paginarInforme(datos.definicion, datos.filas, "01/02/2026", medida);
    EXPECT_TRUE(contiene(informe.paginas.at(0), "/minúsculas/queda"));

    s.TituloInforme = "Envio de facturas";
    s.DetalleInforme = "Asunto: it's {@Usuario} | {Pagina}";
    s.FicheroInforme = "9Fac0019.rpt";
    datos = cargarDatosInforme(s, carpeta, {kDatos});
    const auto envio = paginarInforme(datos.definicion, datos.filas, "01/02/2026", medida);
    EXPECT_TRUE(contiene(envio.paginas.at(0), "Envio de facturas"));
    EXPECT_TRUE(contiene(envio.paginas.at(0), "Asunto: it's {@Usuario} | {Pagina}"))
        << "a value is shown as written, never read as a template";
    EXPECT_TRUE(contiene(envio.paginas.at(0), "Usuario: D'Angelo"));
    EXPECT_TRUE(contiene(envio.paginas.at(0), "Fecha: 01/02/2026"));
    EXPECT_TRUE(contiene(envio.paginas.at(0), "Total de envíos: 0"));
    EXPECT_EQ(envio.titulo, "Envio de facturas");
}

TEST_F(InformeTest, RowsComeInTheirIdOrderWithNullsEmpty) {
    const auto base = baseConFilas({{"Uno", "uno@ejemplo.es", "A.ENVIADO.PDF"},
                                    {"Peña, José", "jose@ejemplo.es", "B.ENVIADO.PDF"}});
    BaseDatos::abrir(base)->agregarRegistro("INFORMETMP2008", {{"CAMPO1", Valor::texto("Tres")}});
    const auto d = leerDefinicionInforme(definicionEnvio());
    // The runs spell the file "Temporal.mdb"; it was created as "temporal.mdb".
    const auto filas = leerFilasInforme(d, folder / "Temporal.mdb");
    ASSERT_EQ(filas.size(), 3U);
    EXPECT_EQ(filas[1],
              (std::vector<std::string>{"Peña, José", "jose@ejemplo.es", "B.ENVIADO.PDF"}));
    EXPECT_EQ(filas[2], (std::vector<std::string>{"Tres", "", ""}));

    EXPECT_THROW((void)leerFilasInforme(d, folder / "otra.mdb"), ErrorInforme);
    auto sinCampo = d;
    sinCampo.columnas[0].campo = "CAMPO99";
    EXPECT_THROW((void)leerFilasInforme(sinCampo, base), ErrorInforme);
}

TEST_F(InformeTest, LongValuesBreakInsideTheirColumnAndLoseNothing) {
    const Fuente f{9, false};
    EXPECT_EQ(partirEnLineas("", 10, f, medida), std::vector<std::string>{""});
    EXPECT_EQ(partirEnLineas("corto  con  blancos", 100, f, medida),
              std::vector<std::string>{"corto  con  blancos"});
    EXPECT_EQ(partirEnLineas("uno dos tres", 8, f, medida),
              (std::vector<std::string>{"uno dos", "tres"}));
    EXPECT_EQ(partirEnLineas("línea\r\nrota", 100, f, medida),
              std::vector<std::string>{"línea  rota"});
    const std::string direccion = "administracion.contabilidad.ñandú@empresa-de-ejemplo.es";
    const auto trozos = partirEnLineas(direccion, 12, f, medida);
    EXPECT_GT(trozos.size(), 2U);
    std::string unidos;
    for (const auto& t : trozos) {
        EXPECT_LE(medida.ancho(t, f), 12);
        unidos += t;
    }
    EXPECT_EQ(unidos, direccion);
    EXPECT_EQ(partirEnLineas("ñ", 0.01, f, medida), std::vector<std::string>{"ñ"});
    EXPECT_EQ(partirEnLineas("000123_20260315_000045.ENVIADO.PDF", 22, f, medida),
              (std::vector<std::string>{"000123_20260315_", "000045.ENVIADO.PDF"}))
        << "a file name breaks after one of its separators";
}

TEST_F(InformeTest, ManyRowsPaginateWithEveryPageNumberedAndEveryRowOnce) {
    const auto d = leerDefinicionInforme(definicionEnvio());
    std::vector<std::vector<std::string>> filas;
    for (int i = 1; i <= 5000; ++i) {
        filas.push_back({"Cliente " + std::to_string(i), "c" + std::to_string(i) + "@ejemplo.es",
                         std::string(i % 97 == 0 ? 90 : 20, 'x')});
    }
    const auto informe = paginarInforme(d, filas, "06/12/2026", medida);
    const std::size_t total = informe.paginas.size();
    ASSERT_GT(total, 50U);
    std::size_t siguiente = 1;
    for (std::size_t p = 0; p < total; ++p) {
        const auto& pagina = informe.paginas[p];
        const std::string numero =
            "Página " + std::to_string(p + 1) + " de " + std::to_string(total);
        EXPECT_TRUE(contiene(pagina, numero)) << numero;
        EXPECT_EQ(contiene(pagina, "Total de envíos: 5000"), p + 1 == total) << p;
        for (const auto& t : pagina.textos) {
            EXPECT_LE(t.y + t.alto, informe.altoPapel - d.margenInferior + 0.01) << t.texto;
            if (t.texto.starts_with("Cliente ")) {
                EXPECT_EQ(t.texto, "Cliente " + std::to_string(siguiente++));
            }
        }
    }
    EXPECT_EQ(siguiente, 5001U);
}

TEST_F(InformeTest, AnEmptyRunAndARowTallerThanAPageStillLayOut) {
    const auto d = leerDefinicionInforme(definicionEnvio());
    const auto vacio = paginarInforme(d, {}, "", medida);
    ASSERT_EQ(vacio.paginas.size(), 1U);
    EXPECT_TRUE(contiene(vacio.paginas[0], "Total de envíos: 0"));
    EXPECT_TRUE(contiene(vacio.paginas[0], "Página 1 de 1"));

    auto estrecha = d;
    estrecha.columnas[0].peso = 1;
    estrecha.columnas[1].peso = 1000;
    const std::string alta(100, 'W');
    const auto informe = paginarInforme(estrecha, {{alta, "a", "b"}, {alta, "c", "d"}}, "", medida);
    EXPECT_GE(informe.paginas.size(), 2U);
    EXPECT_TRUE(contiene(informe.paginas.back(), "Total de envíos: 2"));
}

} // namespace
} // namespace envio
