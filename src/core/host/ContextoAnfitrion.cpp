#include "host/ContextoAnfitrion.h"

#include "database/Texto.h"
#include "mail/RecuperarEnvios.h"
#include "platform/FileSystem.h"
#include "settings/IniFile.h"

#include <algorithm>

namespace envio {
namespace {

constexpr std::string_view kAviso = "Aviso";

void avisar(Dialogos& dialogos, std::string texto, Icono icono = Icono::Informacion) {
    dialogos.mostrar({std::move(texto), std::string(kAviso), icono, Botones::Aceptar});
}

bool isFile(const std::filesystem::path& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::is_regular_file(path, error);
}

// The keys that name the alternative table's fields, and whether the list can do without one.
struct CampoAlternativo {
    std::string_view clave;
    const std::string& nombre;
    bool opcional;
};

// Why the configured table or fields cannot be read, in the user's words; nothing when they can.
std::optional<std::string> motivoIlegible(BaseDatos& db, const OrigenAlternativo& a) {
    const std::string tabla = sinBlancos(a.tablaOrigen);
    const auto tablas = db.tablas();
    if (tabla.empty() || std::none_of(tablas.begin(), tablas.end(), [&](const std::string& t) {
            return igualesSinMayusculas(t, tabla);
        })) {
        return "La base de datos no tiene la tabla \"" + tabla + "\" (TABLA_ORIGEN).";
    }
    const auto columnas = db.abrirRegistros("SELECT * FROM [" + tabla + "]").tabla().columnas;
    std::string motivo;
    for (const CampoAlternativo& campo : {CampoAlternativo{"NIF_CAMPO", a.nifCampo, false},
                                          CampoAlternativo{"EMAIL_CAMPO", a.emailCampo, false},
                                          CampoAlternativo{"NOMBRE_CAMPO", a.nombreCampo, true}}) {
        const std::string nombre = sinBlancos(campo.nombre);
        const bool presente =
            std::any_of(columnas.begin(), columnas.end(),
                        [&](const std::string& c) { return igualesSinMayusculas(c, nombre); });
        if (presente || (nombre.empty() && campo.opcional)) {
            continue;
        }
        motivo += motivo.empty() ? "" : "\r\n";
        if (nombre.empty()) {
            motivo += "Falta el nombre del campo";
        } else {
            motivo.append("La tabla ").append(tabla).append(" no tiene el campo \"");
            motivo.append(nombre).append("\"");
        }
        motivo.append(" (").append(campo.clave).append(").");
    }
    return motivo.empty() ? std::nullopt : std::optional(motivo);
}

// An alternative source that is configured and present but unreadable is told once, and left
// out: the lists fill without its addresses rather than failing or emptying.
void abrirAlternativa(ContextoAnfitrion& c, const std::filesystem::path& krn, Dialogos& dialogos) {
    const std::string base = LeerIni(krn, "EMAIL_ALTERNATIVO", "BASE_ORIGEN", "");
    if (sinBlancos(base).empty()) {
        return;
    }
    c.alternativo.baseOrigen = base;
    const auto ruta = c.rutas.resolver(base);
    if (!isFile(ruta)) {
        return;
    }
    c.alternativo.tablaOrigen = LeerIni(krn, "EMAIL_ALTERNATIVO", "TABLA_ORIGEN", "");
    c.alternativo.nifCampo = LeerIni(krn, "EMAIL_ALTERNATIVO", "NIF_CAMPO", "");
    c.alternativo.emailCampo = LeerIni(krn, "EMAIL_ALTERNATIVO", "EMAIL_CAMPO", "");
    c.alternativo.nombreCampo = LeerIni(krn, "EMAIL_ALTERNATIVO", "NOMBRE_CAMPO", "");
    std::optional<std::string> motivo;
    try {
        c.dbAlternativa = BaseDatos::abrir(ruta);
        motivo = motivoIlegible(*c.dbAlternativa, c.alternativo);
    } catch (const ErrorBaseDatos& e) {
        motivo = e.what();
    }
    if (motivo) {
        c.dbAlternativa.reset();
        avisar(dialogos,
               "No se pueden leer las direcciones de correo alternativas de " + ruta.string() +
                   " (EMAIL_ALTERNATIVO en KRN.INI).\r\n" + *motivo +
                   "\r\nLas listas se muestran sin ellas.",
               Icono::Exclamacion);
    }
}

// Decides the mode and the paths; false when the invoicing application cannot be found.
void decidirModo(ContextoAnfitrion& c, const std::filesystem::path& krn, Dialogos& dialogos) {
    const std::string rutaFicheros = LeerIni(krn, "clsempleado", "rutaficheros", "");
    if (!sinBlancos(rutaFicheros).empty()) {
        c.modo = Modo::Nomina;
        c.rutaDocumentos = c.rutas.resolver(rutaFicheros + "\\publicar");
        c.rutaBaseDatos = c.rutas.resolver(rutaFicheros + "\\krnpgl.mdb");
        c.tipos = {"NOMINAS", "CERTIFICADOS", "FINIQUITOS", "CONTRATOS", "COSTOS", "MODELO145"};
        return;
    }
    c.modo = Modo::Facturas;
    c.tipos = {std::string(kTipoFacturas)};
    const std::string baseDatos = LeerIni(krn, "Facturación", "BaseDatos", "");
    if (sinBlancos(baseDatos).empty()) {
        avisar(dialogos, "No se ha podido localizar la aplicación de origen");
        return;
    }
    // A value without any separator names a file in the program folder, and the documents'
    // folder sits beside it there (not at the root, where a leading "\\" would put it).
    const auto separador = baseDatos.find_last_of("\\/");
    c.rutaDocumentos = c.rutas.resolver(
        separador == std::string::npos ? std::string("FacturasPorEmail")
                                       : baseDatos.substr(0, separador) + "\\FacturasPorEmail");
    c.rutaBaseDatos = c.rutas.resolver(baseDatos);
}

// A drive is inferred from the one file that must be there, the suite's database, before the
// paths that may be missing (the alternative database, the documents' folder) ask for it.
void deducirUnidadDeLaBase(ContextoAnfitrion& c, const std::filesystem::path& krn) {
    const std::string rutaFicheros = LeerIni(krn, "clsempleado", "rutaficheros", "");
    c.rutas.resolver(sinBlancos(rutaFicheros).empty() ? LeerIni(krn, "Facturación", "BaseDatos", "")
                                                      : rutaFicheros + "\\krnpgl.mdb");
}

void avisarLineasNoValidas(const MapaUnidades& unidades, Dialogos& dialogos) {
    if (unidades.errores.empty()) {
        return;
    }
    std::string texto = "No se han tenido en cuenta estas líneas de los archivos de unidades:";
    for (const auto& error : unidades.errores) {
        texto += "\n" + error;
    }
    avisar(dialogos, texto, Icono::Exclamacion);
}

// The start-up goes on without the alternative addresses, but the user learns why they are missing.
void avisarAlternativaSinUnidad(const ContextoAnfitrion& c, Dialogos& dialogos) {
    if (const auto* sinUnidad = c.rutas.sinUnidad(c.alternativo.baseOrigen)) {
        avisar(dialogos,
               "No se usa la base de datos de direcciones alternativas (BASE_ORIGEN).\n" +
                   explicarRutaSinUnidad(*sinUnidad, c.carpeta.unidades()),
               Icono::Exclamacion);
    }
}

bool estaDentro(const std::filesystem::path& ruta, const std::filesystem::path& carpeta) {
    return std::mismatch(carpeta.begin(), carpeta.end(), ruta.begin(), ruta.end()).first ==
           carpeta.end();
}

// A Windows path that could not be mapped says how to map it; one that was mapped names the
// mapping, which may be the wrong one.
std::string textoSinBaseDatos(const ContextoAnfitrion& c) {
    std::string texto = "Ruta de la BBDD no configurada";
    if (const auto* sinUnidad = c.rutas.sinUnidad(c.rutaBaseDatos.string())) {
        return texto + "\n" + explicarRutaSinUnidad(*sinUnidad, c.carpeta.unidades());
    }
    for (const auto& unidad : c.rutas.usadas()) {
        if (estaDentro(c.rutaBaseDatos, unidad.destino)) {
            return texto + "\nNo hay ningún archivo en " + c.rutaBaseDatos.string() + " (unidad " +
                   describirUnidad(unidad) + ").";
        }
    }
    return texto;
}

} // namespace

std::filesystem::path rutaDelAnfitrion(const CarpetaPrograma& carpeta, std::string_view texto) {
    return RutasAnfitrion(carpeta).resolver(texto);
}

std::optional<ContextoAnfitrion> iniciarContexto(const CarpetaPrograma& carpeta, Dialogos& dialogos,
                                                 const Reloj& reloj) {
    ContextoAnfitrion c;
    c.carpeta = carpeta;
    c.rutas = RutasAnfitrion(carpeta);
    const auto krn = carpeta.krnIni();
    avisarLineasNoValidas(carpeta.unidades(), dialogos);
    deducirUnidadDeLaBase(c, krn);
    abrirAlternativa(c, krn, dialogos);
    decidirModo(c, krn, dialogos);
    avisarAlternativaSinUnidad(c, dialogos);
    if (!isFile(c.rutaBaseDatos)) {
        avisar(dialogos, textoSinBaseDatos(c));
        return std::nullopt;
    }
    try {
        c.dbPrincipal = BaseDatos::abrir(c.rutaBaseDatos);
    } catch (const ErrorBaseDatos& e) {
        avisar(dialogos, e.what(), Icono::Critico);
        return std::nullopt;
    }
    const Fecha hoy = reloj.hoy();
    for (std::size_t i = 0; i < c.anios.size(); ++i) {
        c.anios[i] = std::to_string(hoy.anio - static_cast<int>(i));
    }
    c.mesActual = hoy.mes;
    try {
        c.carpeta.fijarBaseTrabajo(prepararBaseTrabajo(carpeta).baseDatos);
    } catch (const ErrorBaseDatos& e) {
        avisar(dialogos,
               std::string("No se pudo preparar la base de datos del informe: ") + e.what(),
               Icono::Critico);
        return std::nullopt;
    }
    try {
        RegistroEnvios registro(RegistroEnvios::archivoEn(carpeta.ruta()));
        Reservas reservas(carpeta.ruta(), currentProcess());
        recuperarEnviosInterrumpidos(registro, reservas, dialogos);
    } catch (const ErrorBaseDatos& e) {
        avisar(dialogos, e.what(), Icono::Exclamacion);
    }
    c.usarCorreo(CargarConfiguracion(c.carpeta.krnIni()));
    return c;
}

} // namespace envio
