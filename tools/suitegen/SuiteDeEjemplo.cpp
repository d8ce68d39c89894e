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
    static constexpr const char* kLetras = "TRWAGMYFPDXBNJZSQVHLCKE";
    const long long numero = 10000000 + n * 7919 % 89999999;
    return std::to_string(numero) + kLetras[numero % 23];
}

std::string correoDe(long long id, int fila) {
    return "cliente" + std::to_string(id) + (fila == 0 ? "" : "." + std::to_string(fila)) +
           "@ejemplo.es";
}

void agregarClientes(DescripcionSuite& d, const ParametrosEjemplo& p) {
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
                const bool preferida = i % 3 == 0 && r == 1;
                c.telefonos.push_back({"E", correoDe(c.id, r), preferida ? 1 : 0});
            }
            c.telefonos.push_back({"T", "91 555 " + std::to_string(1000 + i), 1});
        }
        d.clientes.push_back(std::move(c));
    }
}

void agregarEmpleados(DescripcionSuite& d, const ParametrosEjemplo& p) {
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
    std::mt19937 azar(p.semilla);
    std::uniform_int_distribution<std::size_t> tamano(900, 90000);
    if (p.nomina) {
        agregarEmpleados(d, p);
    } else {
        agregarClientes(d, p);
    }
    long long numero = 1;
    for (const int mesesAtras : {1, 0}) {
        const int mes = p.mes - mesesAtras > 0 ? p.mes - mesesAtras : p.mes - mesesAtras + 12;
        const int anio = p.mes - mesesAtras > 0 ? p.anio : p.anio - 1;
        for (int i = 1; i <= p.documentos; ++i, ++numero) {
            const bool desconocido = p.desconocidosCadaN != 0 && i % p.desconocidosCadaN == 0;
            const bool enviado = p.enviadosCadaN != 0 && i % p.enviadosCadaN == 0;
            const long long quien = desconocido ? 999000 + i : 1 + (i - 1) % p.clientes;
            if (p.nomina) {
                const char clase = "MMMAP"[i % 5];
                d.documentos.push_back({nombreNomina(desconocido ? 9000000 + i : quien, anio, mes,
                                                     clase, nif(quien), enviado),
                                        "NOMINAS", tamano(azar)});
            } else {
                d.documentos.push_back({nombreFactura(desconocido ? quien : 100 + quien, anio, mes,
                                                      1 + i % 28, numero, enviado),
                                        std::to_string(anio), tamano(azar)});
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
