#include "catalogue/AccionesDocumento.h"

#include "DialogosGrabados.h"
#include "ShellGrabado.h"
#include "TemporaryFolder.h"
#include "catalogue/Comandos.h"
#include "catalogue/Seleccion.h"

#include <gtest/gtest.h>

namespace envio {
namespace {

using test::DialogosGrabados;
using test::TemporaryFolder;

TEST(CompruebaDireccionEMailTest, NormalizesTheCallersTextWhateverTheVerdict) {
    std::string address = "  Ana.Peña@Ejemplo.ES ";
    EXPECT_TRUE(CompruebaDireccionEMail(address));
    EXPECT_EQ(address, "ana.peña@ejemplo.es");
    std::string bad = " NO VALE ";
    EXPECT_FALSE(CompruebaDireccionEMail(bad));
    EXPECT_EQ(bad, "no vale");
}

TEST(CompruebaDireccionEMailTest, TheTenRules) {
    const auto check = [](std::string a) { return CompruebaDireccionEMail(a); };
    EXPECT_FALSE(check("a@b.c")); // five characters
    EXPECT_TRUE(check("ab@b.c")); // six
    EXPECT_FALSE(check("ab c@d.es"));
    EXPECT_FALSE(check("abcd.es"));
    EXPECT_FALSE(check("abc@des"));
    EXPECT_FALSE(check("abc@.es"));
    EXPECT_FALSE(check("abc.@es.es"));
    EXPECT_FALSE(check("ab@c@d.es"));
    EXPECT_FALSE(check("@abcd.es"));
    EXPECT_FALSE(check("abcd.es@"));
    EXPECT_FALSE(check("abc@d.es."));
    EXPECT_TRUE(check("a.b@cdef")); // nothing asks for a point after the "@"
    EXPECT_TRUE(check(".ab@c.de")); // nor forbids one in front
    EXPECT_FALSE(check(""));
}

ListaVista listWith(std::initializer_list<std::pair<const char*, int>> rows) {
    ListaVista lista;
    for (const auto& [address, icon] : rows) {
        FilaLista& f = lista.agregar("x");
        f.subitems[0] = address;
        f.icono = icon;
    }
    return lista;
}

TEST(SeleccionarTest, ModesAndCounters) {
    ListaVista lista = listWith({{"a@b.es", 1}, {"  ", 2}, {"", 1}, {"c@d.es", 2}, {"", 1}});
    EXPECT_EQ(Seleccionar(lista, " email "), "documentos selecionados: 2");
    EXPECT_TRUE(lista.fila(0).marcada && lista.fila(3).marcada && !lista.fila(1).marcada);
    EXPECT_EQ(Seleccionar(lista, "PENDIENTE"), "documentos selecionados: 3");
    EXPECT_FALSE(lista.fila(3).marcada);
    lista.fila(1).marcada = true;
    const auto before = lista.filas();
    Seleccionar(lista, "invertir");
    EXPECT_EQ(ContarSeleccionados(lista), 1);
    Seleccionar(lista, "INVERTIR");
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(lista.fila(i).marcada, before[i].marcada);
    }
    EXPECT_EQ(Seleccionar(lista, "otra cosa"), "documentos selecionados: 4");
    EXPECT_EQ(Seleccionar(lista, "TODO"), "documentos selecionados: 5");
    EXPECT_EQ(textoSeleccionadosTeclado(lista), "Facturas seleccionadas: 5");
    EXPECT_EQ(Seleccionar(lista, "nada"), "documentos selecionados: 0");
    ListaVista empty;
    EXPECT_EQ(Seleccionar(empty, "TODO"), "documentos selecionados: 0");
}

TEST(ComandosTest, LinksAndMenuEntriesInTheirOrder) {
    EXPECT_EQ(enlacesComando()[1].titulo, "Eliminar ");
    EXPECT_EQ(enlacesComando()[10].titulo, "Pendiente de envio");
    EXPECT_EQ(enlacesComando()[11].accion, Accion::ConfigurarServidor);
    for (std::size_t i = 0; i < enlacesComando().size(); ++i) {
        EXPECT_EQ(enlacesComando()[i].indice, static_cast<int>(i));
    }
    EXPECT_EQ(menuContextual()[3].accion, Accion::Separador);
    EXPECT_EQ(menuContextual()[7].accion, Accion::Separador);
    EXPECT_EQ(menuContextual()[9].titulo, "Marcar como enviado");
    EXPECT_EQ(modoSeleccion(Accion::SeleccionarConEmail), "EMAIL");
    EXPECT_EQ(modoSeleccion(Accion::Enviar), std::nullopt);
}

class DocumentosTest : public ::testing::Test {
protected:
    TemporaryFolder folder;
    DialogosGrabados dialogos;
    ListaVista lista;

    FilaLista& add(const std::string& name, bool checked = false) {
        FilaLista& f = lista.agregar(name);
        f.etiqueta = folder.write(name, "%PDF " + name).string();
        f.marcada = checked;
        return f;
    }
    std::size_t files() const {
        return static_cast<std::size_t>(
            std::distance(std::filesystem::directory_iterator(folder.path()),
                          std::filesystem::directory_iterator()));
    }
};

TEST_F(DocumentosTest, DeletingAsksAndRemovesOnlyTheCheckedFiles) {
    add("a.pdf", true);
    add("b.pdf");
    add("c.pdf", true);
    EXPECT_FALSE(EliminarDocumentos(lista, dialogos));
    EXPECT_EQ(files(), 3U);
    EXPECT_EQ(dialogos.cuadros().at(0),
              (CuadroMensaje{"¿Desea eliminar los elementos marcados con el check?", "Aviso",
                             Icono::Informacion, Botones::SiNo}));
    dialogos.responder(Respuesta::Si);
    EXPECT_TRUE(EliminarDocumentos(lista, dialogos));
    EXPECT_EQ(files(), 1U);
    EXPECT_TRUE(std::filesystem::exists(folder / "b.pdf"));
}

TEST_F(DocumentosTest, AVanishedFileIsReportedAndTheOthersAreStillDeleted) {
    add("a.pdf", true);
    add("b.pdf", true);
    std::filesystem::remove(folder / "a.pdf");
    dialogos.responder(Respuesta::Si);
    EXPECT_TRUE(EliminarDocumentos(lista, dialogos));
    EXPECT_EQ(files(), 0U);
    ASSERT_EQ(dialogos.cuadros().size(), 2U);
    EXPECT_NE(dialogos.cuadros()[1].texto.find("a.pdf"), std::string::npos);
    ListaVista empty;
    EXPECT_TRUE(EliminarDocumentos(empty, dialogos));
    EXPECT_EQ(dialogos.cuadros().size(), 2U); // an empty list asks nothing
}

TEST_F(DocumentosTest, MarkingMovesTheFileByItsNameRule) {
    add("ABC1.pdf");
    lista.seleccionar(0);
    MarcarDocumento(lista, "ENVIADO", dialogos);
    EXPECT_EQ(lista.fila(0).etiqueta, (folder / "ABC_E.pdf").string());
    EXPECT_EQ(lista.fila(0).icono, kIconoEnviado);
    MarcarDocumento(lista, "PENDIENTE", dialogos);
    EXPECT_EQ(lista.fila(0).etiqueta, (folder / "ABC__P.pdf").string());
    EXPECT_EQ(lista.fila(0).icono, kIconoPendiente);
    EXPECT_EQ(folder.read("ABC__P.pdf"), "%PDF ABC1.pdf");
    EXPECT_EQ(files(), 1U);
    MarcarDocumento(lista, "enviado", dialogos); // not a mark: nothing moves
    EXPECT_EQ(files(), 1U);
    EXPECT_TRUE(dialogos.cuadros().empty());
}

TEST_F(DocumentosTest, MarkingNeverReplacesAnotherFileNorLosesOne) {
    add("X1.pdf");
    folder.write("X_E.pdf", "otro documento");
    lista.seleccionar(0);
    MarcarDocumento(lista, "ENVIADO", dialogos);
    EXPECT_EQ(folder.read("X_E.pdf"), "otro documento");
    EXPECT_EQ(lista.fila(0).etiqueta, (folder / "X_E (2).pdf").string());
    EXPECT_EQ(folder.read("X_E (2).pdf"), "%PDF X1.pdf");
    ASSERT_EQ(dialogos.cuadros().size(), 1U);
    EXPECT_NE(dialogos.cuadros()[0].texto.find("X_E (2).pdf"), std::string::npos);

    std::filesystem::remove(folder / "X_E (2).pdf");
    MarcarDocumento(lista, "PENDIENTE", dialogos);
    EXPECT_EQ(lista.fila(0).etiqueta, (folder / "X_E (2).pdf").string()); // unchanged
    EXPECT_EQ(dialogos.cuadros().size(), 2U);
    EXPECT_EQ(files(), 1U);
}

using test::ShellGrabado;

TEST_F(DocumentosTest, NoCurrentRowMeansNothingToViewOrMark) {
    add("a.pdf");
    MarcarDocumento(lista, "ENVIADO", dialogos);
    EXPECT_TRUE(std::filesystem::exists(folder / "a.pdf"));
    ShellGrabado shell;
    VerDocumento(lista, shell, folder.path(), dialogos);
    EXPECT_TRUE(shell.abiertos.empty());
    EXPECT_TRUE(dialogos.cuadros().empty());
}

TEST_F(DocumentosTest, ViewingOpensTheCurrentDocumentAndTellsWhenTheDesktopCannot) {
    add("a.pdf");
    lista.seleccionar(0);
    ShellGrabado shell;
    VerDocumento(lista, shell, folder.path(), dialogos);
    ASSERT_EQ(shell.abiertos.size(), 1U);
    EXPECT_EQ(shell.abiertos[0], folder / "a.pdf");
    EXPECT_TRUE(dialogos.cuadros().empty());

    shell.resultado = false;
    VerDocumento(lista, shell, folder.path(), dialogos);
    ASSERT_EQ(dialogos.cuadros().size(), 1U);
    EXPECT_EQ(dialogos.cuadros()[0],
              (CuadroMensaje{"No se pudo abrir el documento " + (folder / "a.pdf").string() +
                                 ". Compruebe que el archivo existe y que hay un programa para "
                                 "ver archivos PDF.",
                             "Aviso", Icono::Exclamacion, Botones::Aceptar}));
}

} // namespace
} // namespace envio
