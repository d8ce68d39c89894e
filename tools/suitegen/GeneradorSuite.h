#pragma once

// Writes a sample suite folder: KRN.INI, the suite's databases (Access files through our Jet
// writer, or SQLite) and small valid PDF documents named as the suite names them. Tests,
// benchmarks and the demo build their worlds with it.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace suitegen {

enum class Formato { Jet, Sqlite };

struct FilaTelefono {
    std::string tipo = "E";
    std::optional<std::string> numero;
    std::optional<int> prioridad = 0;
};

struct Cliente {
    long long id = 0;
    std::string nombre;
    std::optional<std::string> grupo;
    bool cesado = false;
    std::vector<FilaTelefono> telefonos;
};

struct Empleado {
    long long codigo = 0;
    std::string nombre;
};

// A row of the alternative address table.
struct DireccionAlternativa {
    std::string nif;
    std::optional<std::string> email;
    std::string nombre;
};

struct Documento {
    std::string nombre;  // file name as the suite writes it
    std::string carpeta; // invoices: the year; payroll: the document type
    std::size_t tamano = 2048;
    // The lines printed on its page, and nothing else; not set: its file name and, on an
    // invoice, its client's name. An empty list makes a page without text, as a scan has.
    std::optional<std::vector<std::string>> texto = std::nullopt;
};

struct ServidorCorreo {
    std::string servidor = "127.0.0.1";
    int puerto = 25;
    bool ssl = false;
    std::string cuenta;
    std::string usuario;
    std::string password; // stored scrambled, as the program stores it
    std::string asunto;
    std::string mensaje;
};

struct DescripcionSuite {
    Formato formato = Formato::Jet;
    bool nomina = false;
    std::vector<Cliente> clientes;
    std::vector<Empleado> empleados;
    std::vector<DireccionAlternativa> alternativas; // written only when not empty
    std::vector<Documento> documentos;
    std::optional<ServidorCorreo> correo;
    // Path texts as the suite writes them in KRN.INI: with backslashes, in another letter case.
    bool rutasAlEstiloWindows = true;
};

// Where things landed.
struct SuiteGenerada {
    std::filesystem::path carpetaPrograma;
    std::filesystem::path baseDatos;
    std::filesystem::path carpetaDocumentos; // RutaDocumentos
    std::optional<std::filesystem::path> baseAlternativa;
};

SuiteGenerada generarSuite(const std::filesystem::path& carpeta, const DescripcionSuite& d);

// A client with a single "E" row of priority 0, as most test suites want one.
Cliente clienteConCorreo(long long id, std::string nombre, std::optional<std::string> grupo,
                         std::string email);

// A valid one-page PDF of exactly `tamano` bytes (at least a few hundred) with `titulo` and
// `lineas` printed on it (Latin-1 letters may be used); with no title and no lines the page
// has a drawing and no text.
std::string pdfDePrueba(const std::string& titulo, std::size_t tamano,
                        const std::vector<std::string>& lineas = {});

// Invoice and payroll file names by the suite's conventions.
std::string nombreFactura(long long cliente, int anio, int mes, int dia, long long numero,
                          bool enviado = false);
std::string nombreNomina(long long empleado, int anio, int mes, char clase, const std::string& nif,
                         bool enviado = false);

struct ParametrosEjemplo {
    Formato formato = Formato::Jet;
    bool nomina = false;
    int anio = 2026;
    int mes = 3;
    int clientes = 20;
    int documentos = 30;           // per month, for this month and the one before
    int sinDireccionCadaN = 7;     // every Nth client has no e-mail row
    int enviadosCadaN = 5;         // every Nth document is already sent
    int desconocidosCadaN = 11;    // every Nth document belongs to nobody in the database
    int filasCorreoPorCliente = 2; // e-mail rows per client with an address
    std::uint32_t semilla = 1;
};

// A plausible suite: Spanish names with accents, priorities, ceased clients, sent files,
// files of unknown recipients and names that do not match the pattern.
DescripcionSuite suiteDeEjemplo(const ParametrosEjemplo& p);

// A month to send: clients 1..`documentos`, each with one address and one March 2026 invoice of
// `tamano` bytes, and the mail server of the local test mail server at `puerto`, with AUTH as
// user "envios", password "clave".
DescripcionSuite suiteParaEnviar(int documentos, std::size_t tamano, int puerto);

} // namespace suitegen
