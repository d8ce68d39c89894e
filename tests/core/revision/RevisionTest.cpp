// Protected payslips and the review before sending, on generated suites with real PDFs.
#include "DialogosGrabados.h"
#include "DoblesEnvio.h"
#include "GeneradorSuite.h"
#include "MailReader.h"
#include "PdfFalso.h"
#include "RelojFijo.h"
#include "TemporaryFolder.h"
#include "TestMailServer.h"
#include "catalogue/Catalogo.h"
#include "catalogue/Seleccion.h"
#include "cli/OrdenEnviar.h"
#include "ledger/RegistroEnvios.h"
#include "mail/PuestoEnvio.h"
#include "platform/Sha256.h"
#include "platform/SmtpSize.h"
#include "revision/EnvioRevisado.h"
#include "revision/Nif.h"
#include "revision/SinContrasena.h"
#include "settings/IniFile.h"

#include <fstream>
#include <gtest/gtest.h>
#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-page.h>
#include <sstream>

namespace envio {
namespace {

using test::TemporaryFolder;

TEST(Nif, ChecksDniAndNieLettersIgnoringCaseBlanksAndHyphens) {
    const struct {
        const char* texto;
        const char* nif; // "" when it must not pass
    } casos[] = {
        {"12345678Z", "12345678Z"},
        {"12345678z", "12345678Z"},
        {" 1234 5678-z ", "12345678Z"},
        {"00000000T", "00000000T"},
        {"X1234567L", "X1234567L"},
        {"y-0000000-z", "Y0000000Z"},
        {"Z0000000M", "Z0000000M"},
        {"12345678A", ""},
        {"1234567Z", ""},
        {"123456789Z", ""},
        {"X1234567Z", ""},
        {"W1234567L", ""},
        {"1234567XZ", ""},
        {"", ""},
        {"12345678", ""},
        {"12.345.678-Z", ""}, // dots are not separators the rule allows
    };
    for (const auto& c : casos) {
        const auto nif = nifValido(c.texto);
        EXPECT_EQ(nif.value_or(""), c.nif) << c.texto;
    }
    EXPECT_EQ(nifDelDocumento("/x/NOMINAS/0000042_26031M_12345678Z.PDF"), "12345678Z");
    EXPECT_EQ(nifDelDocumento("0000042_26031M_1234.PDF"), "");
}

TEST(ListaSinContrasena, KeepsNormalisedNifsInTheProgramFolderAcrossInstances) {
    TemporaryFolder folder;
    const auto archivo = ListaSinContrasena::archivoEn(CarpetaPrograma(folder.path()));
    EXPECT_EQ(archivo.parent_path(), folder.path());
    ListaSinContrasena(archivo).anadir("12345678-z");
    ListaSinContrasena(archivo).anadir("X1234567L");
    ListaSinContrasena(archivo).anadir("12345678Z"); // already there
    EXPECT_TRUE(ListaSinContrasena(archivo).contiene(" 12345678z"));
    EXPECT_EQ(ListaSinContrasena(archivo).leer(),
              (std::set<std::string>{"12345678Z", "X1234567L"}));
    ListaSinContrasena(archivo).quitar("12345678Z");
    EXPECT_FALSE(ListaSinContrasena(archivo).contiene("12345678Z"));
    EXPECT_TRUE(ListaSinContrasena(archivo).contiene("X1234567L"));
}

TEST(SmtpSize, ReadsTheLimitFromTheEhloReply) {
    EXPECT_EQ(sizeFromEhlo("250-mail.ejemplo.es\r\n250-SIZE 10240000\r\n250 HELP\r\n"), 10240000U);
    EXPECT_EQ(sizeFromEhlo("250-mail\r\n250 size 512\r\n"), 512U);
    EXPECT_EQ(sizeFromEhlo("250-mail\r\n250-SIZE\r\n250 8BITMIME\r\n"), std::nullopt);
    EXPECT_EQ(sizeFromEhlo("250-mail\r\n250-SIZE 0\r\n"), std::nullopt);
    EXPECT_EQ(sizeFromEhlo("250-mail\r\n250-SIZES 5\r\n"), std::nullopt);
}

// The text Poppler reads from `pdf` with `password`; nothing when it does not open.
std::optional<std::string> textoConClave(const std::string& pdf, const std::string& password) {
    std::unique_ptr<poppler::document> doc(poppler::document::load_from_raw_data(
        pdf.data(), static_cast<int>(pdf.size()), password, password));
    if (!doc || doc->is_locked()) {
        return std::nullopt;
    }
    std::string text;
    for (int i = 0; i < doc->pages(); ++i) {
        const auto utf8 = std::unique_ptr<poppler::page>(doc->create_page(i))->text().to_utf8();
        text.append(utf8.begin(), utf8.end());
    }
    return text;
}

std::string leer(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

const std::string kAna = "12345678Z";   // protected
const std::string kBeto = "X1234567L";  // asked for no password
const std::string kCarla = "87654321X"; // her payslip carries Ana's NIF: filed wrongly
const std::string kDavid = "11111111A"; // a NIF that does not pass

// A payroll month: Ana, Beto and Carla with good payslips (Carla's printed with Ana's NIF),
// David with a bad NIF, Elena's a scan and Fede's not a PDF at all.
suitegen::DescripcionSuite nominaDeMarzo() {
    suitegen::DescripcionSuite d;
    d.nomina = true;
    d.empleados = {{1, "Ana Pérez"},  {2, "Beto Núñez"}, {3, "Carla Gil"},
                   {4, "David Sanz"}, {5, "Elena Ruiz"}, {6, "Fede Mora"}};
    d.alternativas = {{kAna, "ana@ejemplo.es", "Ana"},        {kBeto, "beto@ejemplo.es", "Beto"},
                      {kCarla, "carla@ejemplo.es", "Carla"},  {kDavid, "david@ejemplo.es", "D"},
                      {"22222222J", "elena@ejemplo.es", "E"}, {"33333333P", "ana@ejemplo.es", "F"}};
    const auto nomina = [](int codigo, const std::string& nif) {
        return suitegen::nombreNomina(codigo, 2026, 3, 'M', nif);
    };
    d.documentos = {
        {nomina(1, kAna), "NOMINAS", 4000, std::vector<std::string>{"Ana Pérez", "NIF: " + kAna}},
        {nomina(2, kBeto), "NOMINAS", 4000, std::vector<std::string>{"NIF " + kBeto}},
        {nomina(3, kCarla), "NOMINAS", 4000, std::vector<std::string>{"NIF " + kAna}},
        {nomina(4, kDavid), "NOMINAS", 4000, std::vector<std::string>{"NIF " + kDavid}},
        {nomina(5, "22222222J"), "NOMINAS", 4000, std::vector<std::string>{}},
    };
    return d;
}

class RevisionNominaTest : public ::testing::Test {
protected:
    TemporaryFolder folder;
    std::unique_ptr<test::TestMailServer> server;
    suitegen::SuiteGenerada suite;
    std::filesystem::path carpetaNominas;

    void SetUp() override {
        auto d = nominaDeMarzo();
        try {
            server = std::make_unique<test::TestMailServer>();
        } catch (const std::exception& e) {
            GTEST_SKIP() << "el servidor de correo de pruebas no arranca: " << e.what();
        }
        suitegen::ServidorCorreo correo;
        correo.puerto = server->plainPort();
        correo.cuenta = "nominas@ejemplo.es";
        correo.asunto = "Su nómina";
        correo.mensaje = "Le enviamos su nómina.";
        d.correo = correo;
        suite = suitegen::generarSuite(folder.path(), d);
        carpetaNominas = suite.carpetaDocumentos / "NOMINAS";
        std::ofstream(carpetaNominas / suitegen::nombreNomina(6, 2026, 3, 'M', "33333333P"))
            << "no soy un PDF";
        EscribirIni(folder / "KRN.INI", "DocumentoPORemail", "ProtegerConNIF", "1");
    }

    std::string nombre(int codigo, const std::string& nif) const {
        return suitegen::nombreNomina(codigo, 2026, 3, 'M', nif);
    }

    int run(const std::string& orden, std::ostringstream& salida, std::ostringstream& errores) {
        const auto opciones = cli::analizarLineaDeOrdenes(
            {orden, "--seleccion", "todo", "--anio", "2026", "--mes", "3"});
        const CarpetaPrograma carpeta(folder.path());
        const test::RelojFijo reloj({2026, 3, 31});
        if (orden == "--revisar") {
            return cli::ordenRevisar(opciones, carpeta, reloj, salida, errores);
        }
        std::vector<SolicitudInforme> informes;
        return cli::ordenEnviar(
            opciones, carpeta, reloj,
            [&](const CarpetaPrograma&, const std::filesystem::path&) {
                return std::make_unique<test::VisorEnLista>(informes);
            },
            salida, errores, false);
    }
};

TEST_F(RevisionNominaTest, ReviewListsEveryProblemAtOnceAndExitsOne) {
    std::ostringstream salida, errores;
    EXPECT_EQ(run("--revisar", salida, errores), 1) << errores.str();
    const std::string esperado =
        nombre(3, kCarla) + "\t0000003 CARLA GIL\tel NIF " + kCarla +
        " no aparece en el documento\tbloquea\n" + nombre(4, kDavid) +
        "\t0000004 DAVID SANZ\tNIF no válido: " + kDavid + "\tbloquea\n" + nombre(5, "22222222J") +
        "\t0000005 ELENA RUIZ\tPDF sin texto (escaneado): no se puede comprobar\taviso\n" +
        nombre(6, "33333333P") + "\t0000006 FEDE MORA\tel archivo no es un PDF\tbloquea\n" +
        nombre(6, "33333333P") +
        "\t0000006 FEDE MORA\tla dirección ana@ejemplo.es es de 2 destinatarios distintos en "
        "este envío\taviso\n";
    // Ana's row shares the address with Fede's; it is listed where the catalogue lists it.
    std::string texto = salida.str();
    const std::string ana = nombre(1, kAna) +
                            "\t0000001 ANA PÉREZ\tla dirección ana@ejemplo.es es de 2 "
                            "destinatarios distintos en este envío\taviso\n";
    ASSERT_NE(texto.find(ana), std::string::npos) << texto;
    texto.erase(texto.find(ana), ana.size());
    EXPECT_EQ(texto, esperado);
    EXPECT_TRUE(server->messages().empty()) << "--revisar sends nothing";
}

TEST_F(RevisionNominaTest, PayslipsGoOutEncryptedWithTheirNifAndTheBlockedOnesNotAtAll) {
    ListaSinContrasena(ListaSinContrasena::archivoEn(CarpetaPrograma(folder.path()))).anadir(kBeto);
    const std::string original = leer(carpetaNominas / nombre(1, kAna));
    std::ostringstream salida, errores;
    EXPECT_EQ(run("--enviar", salida, errores), 1) << errores.str();
    EXPECT_NE(errores.str().find("Revisar antes de enviar:\n"), std::string::npos);
    EXPECT_NE(salida.str().find("Enviados: 3; no enviados: 3"), std::string::npos) << salida.str();

    std::map<std::string, test::ReadMessage> porDestinatario;
    for (const auto& m : server->messages()) {
        porDestinatario[m.recipients.at(0)] = test::readAsMailClient(m.raw);
    }
    ASSERT_EQ(porDestinatario.size(), 3U) << "Ana, Beto and Elena's scan";
    const auto& ana = porDestinatario.at("ana@ejemplo.es");
    EXPECT_EQ(ana.attachmentName, nombre(1, kAna));
    EXPECT_EQ(textoConClave(ana.attachment, ""), std::nullopt);
    EXPECT_EQ(textoConClave(ana.attachment, "87654321X"), std::nullopt);
    EXPECT_EQ(textoConClave(ana.attachment, kAna), textoConClave(original, ""));
    std::string cuerpo = ana.body;
    std::erase(cuerpo, '\r');
    EXPECT_NE(cuerpo.find("Le enviamos su nómina.\n\nEl documento adjunto está protegido. La "
                          "contraseña es su NIF, con la letra en mayúscula."),
              std::string::npos)
        << cuerpo;
    // Beto asked for no password: his payslip goes as it is, without the line.
    const auto& beto = porDestinatario.at("beto@ejemplo.es");
    EXPECT_EQ(beto.attachment,
              leer(carpetaNominas / (nombre(2, kBeto).substr(0, 25) + "ENVIADO.PDF")));
    EXPECT_EQ(beto.body.find("protegido"), std::string::npos);

    // The stored file never changed; the ledger knows both the file and what went out.
    const auto enviado = carpetaNominas / (nombre(1, kAna).substr(0, 25) + "ENVIADO.PDF");
    EXPECT_EQ(leer(enviado), original);
    RegistroEnvios registro(RegistroEnvios::archivoEn(folder.path()));
    bool visto = false;
    for (const auto& i : registro.todos()) {
        if (i.destinatario == "ana@ejemplo.es" && i.documento.ends_with(nombre(1, kAna))) {
            visto = true;
            EXPECT_EQ(i.sha256, sha256OfText(original));
            EXPECT_EQ(i.sha256Adjunto, sha256OfText(ana.attachment));
            EXPECT_NE(i.sha256, i.sha256Adjunto);
        }
    }
    EXPECT_TRUE(visto);
    // The blocked ones keep their pending names.
    for (const auto& n : {nombre(3, kCarla), nombre(4, kDavid)}) {
        EXPECT_TRUE(std::filesystem::exists(carpetaNominas / n)) << n;
    }
    // No protected copy is left behind in the temporary folder.
    for (const auto& e :
         std::filesystem::directory_iterator(std::filesystem::temp_directory_path())) {
        EXPECT_FALSE(e.path().filename().string().starts_with("envio-documentos-") &&
                     std::filesystem::exists(e.path() / nombre(1, kAna)))
            << e.path();
    }
}

TEST_F(RevisionNominaTest, AskingTheServerGivesItsAdvertisedSize) {
    SmtpSizeQuery q;
    q.host = "127.0.0.1";
    q.port = server->plainPort();
    const auto size = askSmtpSize(q);
    ASSERT_TRUE(size);
    EXPECT_GT(*size, 1024U * 1024U);
}

// A Dialogos whose review answer is scripted.
class DialogosRevision : public test::DialogosGrabados {
public:
    DecisionRevision decision;
    std::vector<Hallazgo> vistos;
    DecisionRevision revisar(const std::vector<Hallazgo>& h) override {
        vistos = h;
        return decision;
    }
};

class EnvioRevisadoTest : public RevisionNominaTest {
protected:
    DialogosRevision dialogos;
    ObservadorEnvio observador;
    std::vector<SolicitudInforme> informes;
    test::VisorEnLista visor{informes};
    std::atomic<bool> cancelar{false};
    test::PdfFalso pdfFalso;

    ResultadoEnvios enviar(std::vector<FilaLista>& filas, PdfEngine& pdf) {
        auto contexto = iniciarContexto(CarpetaPrograma(folder.path()), dialogos,
                                        test::RelojFijo({2026, 3, 31}));
        EXPECT_TRUE(contexto);
        ListaVista lista;
        Catalogo(*contexto).ActualizarLista({"NOMINAS", "2026", 3, ""}, lista);
        Seleccionar(lista, "todo");
        filas = lista.filas();
        PuestoEnvio puesto(contexto->carpeta);
        EntornoEnvio e = puesto.entorno(contexto->correo(), dialogos, observador, visor, cancelar);
        return EnviarRevisado(filas, Modo::Nomina, e, {pdf, {}});
    }
};

TEST_F(EnvioRevisadoTest, VolverSendsNothingAndEnviarLeavesOutTheUntickedRows) {
    dialogos.decision = {false, {}};
    std::vector<FilaLista> filas;
    ResultadoEnvios r = enviar(filas, pdfFalso);
    EXPECT_FALSE(dialogos.vistos.empty());
    EXPECT_TRUE(r.declinado);
    EXPECT_EQ(r.noEnviados, 6);
    EXPECT_TRUE(server->messages().empty());
    EXPECT_EQ(pdfFalso.copias, 0);

    // "Enviar" with Ana's row unticked: only Beto's goes (the fake engine reads the scan's
    // bytes, which lack Elena's NIF, so hers is blocked too), as the fake engine's copy.
    dialogos.decision = {true, {0}};
    r = enviar(filas, pdfFalso);
    ASSERT_EQ(server->messages().size(), 1U);
    EXPECT_EQ(server->messages()[0].recipients, std::vector<std::string>{"beto@ejemplo.es"});
    EXPECT_EQ(r.enviados, 1);
    EXPECT_EQ(r.noEnviados, 4); // the four blocked; Ana's was unticked
    EXPECT_EQ(pdfFalso.copias, 1);
}

TEST_F(EnvioRevisadoTest, ADocumentThatCannotBeProtectedIsNotSentAndTheRunGoesOn) {
    pdfFalso.fallar = true;
    std::vector<FilaLista> filas;
    const ResultadoEnvios r = enviar(filas, pdfFalso);
    EXPECT_FALSE(r.salidaPorError);
    EXPECT_EQ(r.enviados, 0);
    EXPECT_EQ(pdfFalso.copias, 2); // Ana and Beto: the others were blocked by the review
    EXPECT_TRUE(server->messages().empty());
    EXPECT_TRUE(std::filesystem::exists(carpetaNominas / nombre(1, kAna)));
}

// Invoices: the client's name is looked for, and not finding it only warns; the size limits and
// the damaged files block.
TEST(RevisionFacturas, NameSizeAndFileFindings) {
    TemporaryFolder folder;
    suitegen::DescripcionSuite d;
    d.clientes = {suitegen::clienteConCorreo(1, "Peña Hermanos", "ORO", "pena@ejemplo.es"),
                  suitegen::clienteConCorreo(2, "Acme", "ORO", "acme@ejemplo.es"),
                  suitegen::clienteConCorreo(3, "Grande", "ORO", "grande@ejemplo.es"),
                  suitegen::clienteConCorreo(4, "Vacío", "ORO", "mal@"),
                  suitegen::clienteConCorreo(5, "Roto", "ORO", "roto@ejemplo.es")};
    d.documentos = {{suitegen::nombreFactura(1, 2026, 3, 1, 1), "2026", 3000},
                    {suitegen::nombreFactura(2, 2026, 3, 2, 2), "2026", 3000,
                     std::vector<std::string>{"Cliente: Otra Empresa"}},
                    {suitegen::nombreFactura(3, 2026, 3, 3, 3), "2026", 300 * 1024},
                    {suitegen::nombreFactura(3, 2026, 3, 4, 4), "2026", 3000}};
    const auto suite = suitegen::generarSuite(folder.path(), d);
    std::ofstream(suite.carpetaDocumentos / "2026" / suitegen::nombreFactura(4, 2026, 3, 5, 5));
    std::ofstream(suite.carpetaDocumentos / "2026" / suitegen::nombreFactura(5, 2026, 3, 6, 6))
        << "%PDF-1.4 cortado";
    test::DialogosGrabados dialogos;
    auto contexto =
        iniciarContexto(CarpetaPrograma(folder.path()), dialogos, test::RelojFijo({2026, 3, 31}));
    ASSERT_TRUE(contexto);
    ListaVista lista;
    Catalogo(*contexto).ActualizarLista({"FACTURAS", "2026", 3, ""}, lista);
    Seleccionar(lista, "todo");
    ReglasRevision reglas;
    reglas.limiteUsuario = 200 * 1024;
    reglas.limiteServidor = 250 * 1024;
    QpdfPopplerEngine pdf;
    std::vector<std::string> lineas;
    for (const auto& h : revisarEnvio(lista.filas(), reglas, pdf)) {
        lineas.push_back(lineaHallazgo(h));
    }
    const auto f = [](int c, int dia, int n) {
        return suitegen::nombreFactura(c, 2026, 3, dia, n);
    };
    EXPECT_EQ(lineas,
              (std::vector<std::string>{
                  f(2, 2, 2) + "\t00002 ACME\tel nombre ACME no aparece en el documento\taviso",
                  f(3, 3, 3) + "\t00003 GRANDE\tmayor (300 KB) que lo que admite el servidor de "
                               "correo (250 KB)\tbloquea",
                  f(3, 3, 3) + "\t00003 GRANDE\tmayor (300 KB) que el tamaño máximo fijado (200 "
                               "KB)\tbloquea",
                  f(3, 3, 3) + "\t00003 GRANDE\t2 documentos para este destinatario\taviso",
                  f(3, 4, 4) + "\t00003 GRANDE\t2 documentos para este destinatario\taviso",
                  f(4, 5, 5) + "\t00004 VACÍO\tdirección de correo no válida: mal@\tbloquea",
                  f(4, 5, 5) + "\t00004 VACÍO\tel archivo está vacío\tbloquea",
                  f(5, 6, 6) + "\t00005 ROTO\tel PDF está dañado o no se puede abrir\tbloquea"}));
}

} // namespace
} // namespace envio
