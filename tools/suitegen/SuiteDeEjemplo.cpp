#include "GeneradorSuite.h"

#include <array>
#include <random>

namespace suitegen {
namespace {

constexpr std::array<const char*, 12> kNombres = {
    "Peña Ibáñez, José",         "Muñoz Gómez, Ángela",  "Fernández Ruiz, Íñigo",
    "Construcciones Álvarez SL", "Talleres Núñez SA",    "García López, María",
    "Distribuciones Báez",       "Óptica Úbeda",         "Panadería La Espiga",
    "Martínez Sáenz, Raúl",      "Electricidad Ortúzar", "Café Doña Inés"};

constexpr std::array<const char*, 5> kGrupos = {"ORO", "PLATA", "Bronce", "oro", "Proveedores"};

std::string nif(long long n) {
    static constexpr const char* kLetters = "TRWAGMYFPDXBNJZSQVHLCKE";
    const long long number = 10000000 + n * 7919 % 89999999;
    return std::to_string(number) + kLetters[number % 23];
}

std::string mailOf(long long id, int row) {
    return "cliente" + std::to_string(id) + (row == 0 ? "" : "." + std::to_string(row)) +
           "@ejemplo.es";
}

void addClients(DescripcionSuite& d, const ParametrosEjemplo& p) {
    for (int i = 1; i <= p.clientes; ++i) {
        Cliente c;
        c.id = 100 + i;
        c.nombre = kNombres[static_cast<std::size_t>(i) % kNombres.size()];
        c.grupo =
            i % 6 == 0
                ? std::nullopt
                : std::optional<std::string>(kGrupos[static_cast<std::size_t>(i) % kGrupos.size()]);
        c.cesado = i % 13 == 0;
        if (p.sinDireccionCadaN == 0 || i % p.sinDireccionCadaN != 0) {
            for (int r = 0; r < p.filasCorreoPorCliente; ++r) {
                // Every third client marks its second address as the preferred one.
                const bool preferred = i % 3 == 0 && r == 1;
                c.telefonos.push_back({"E", mailOf(c.id, r), preferred ? 1 : 0});
            }
            c.telefonos.push_back({"T", "91 555 " + std::to_string(1000 + i), 1});
        }
        d.clientes.push_back(std::move(c));
    }
}

void addEmployees(DescripcionSuite& d, const ParametrosEjemplo& p) {
    for (int i = 1; i <= p.clientes; ++i) {
        const long long codigo = i;
        d.empleados.push_back({codigo, kNombres[static_cast<std::size_t>(i) % kNombres.size()]});
        if (p.sinDireccionCadaN == 0 || i % p.sinDireccionCadaN != 0) {
            d.alternativas.push_back({nif(codigo), "empleado" + std::to_string(i) + "@ejemplo.es",
                                      kNombres[static_cast<std::size_t>(i) % kNombres.size()]});
        }
    }
}

} // namespace

DescripcionSuite suiteDeEjemplo(const ParametrosEjemplo& p) {
    DescripcionSuite d;
    d.formato = p.formato;
    d.nomina = p.nomina;
    std::mt19937 random(p.semilla);
    std::uniform_int_distribution<std::size_t> size(900, 90000);
    if (p.nomina) {
        addEmployees(d, p);
    } else {
        addClients(d, p);
    }
    long long numero = 1;
    for (const int monthsBack : {1, 0}) {
        const int mes = p.mes - monthsBack > 0 ? p.mes - monthsBack : p.mes - monthsBack + 12;
        const int anio = p.mes - monthsBack > 0 ? p.anio : p.anio - 1;
        for (int i = 1; i <= p.documentos; ++i, ++numero) {
            const bool unknown = p.desconocidosCadaN != 0 && i % p.desconocidosCadaN == 0;
            const bool sent = p.enviadosCadaN != 0 && i % p.enviadosCadaN == 0;
            const long long who = unknown ? 999000 + i : 1 + (i - 1) % p.clientes;
            if (p.nomina) {
                const char clase = "MMMAP"[i % 5];
                d.documentos.push_back(
                    {nombreNomina(unknown ? 9000000 + i : who, anio, mes, clase, nif(who), sent),
                     "NOMINAS", size(random)});
            } else {
                d.documentos.push_back(
                    {nombreFactura(unknown ? who : 100 + who, anio, mes, 1 + i % 28, numero, sent),
                     std::to_string(anio), size(random)});
            }
        }
        // Names the suite did not write: they must not be listed.
        if (!p.nomina) {
            d.documentos.push_back({"12345_" + std::to_string(anio * 100 + mes) + "01_000001.pdf",
                                    std::to_string(anio), 1500});
            d.documentos.push_back({"notas.pdf", std::to_string(anio), 1500});
        }
    }
    return d;
}

DescripcionSuite suiteParaEnviar(int documentos, std::size_t tamano, int puerto) {
    DescripcionSuite d;
    for (int i = 1; i <= documentos; ++i) {
        d.clientes.push_back(clienteConCorreo(i, "Cliente " + std::to_string(i), "ORO",
                                              "cliente" + std::to_string(i) + "@ejemplo.es"));
        d.documentos.push_back({nombreFactura(i, 2026, 3, 1 + i % 28, i), "2026", tamano});
    }
    ServidorCorreo correo;
    correo.puerto = puerto;
    correo.usuario = "envios";
    correo.password = "clave";
    correo.cuenta = "facturacion@ejemplo.es";
    correo.asunto = "Su factura";
    correo.mensaje = "Le enviamos su factura.";
    d.correo = correo;
    return d;
}

} // namespace suitegen
