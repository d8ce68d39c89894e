#include "host/ContextoAnfitrion.h"

#include "database/Texto.h"
#include "mail/RecuperarEnvios.h"
#include "platform/FileSystem.h"
#include "settings/IniFile.h"

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

void abrirAlternativa(ContextoAnfitrion& c, const std::filesystem::path& krn) {
    const std::string base = LeerIni(krn, "EMAIL_ALTERNATIVO", "BASE_ORIGEN", "");
    if (sinBlancos(base).empty()) {
        return;
    }
    c.alternativo.baseOrigen = base;
    const auto ruta = rutaDelAnfitrion(c.carpeta, base);
    if (!isFile(ruta)) {
        return;
    }
    try {
        c.dbAlternativa = BaseDatos::abrir(ruta);
    } catch (const ErrorBaseDatos&) {
        return; // a missing or unreadable alternative source is simply absent
    }
    c.alternativo.tablaOrigen = LeerIni(krn, "EMAIL_ALTERNATIVO", "TABLA_ORIGEN", "");
    c.alternativo.nifCampo = LeerIni(krn, "EMAIL_ALTERNATIVO", "NIF_CAMPO", "");
    c.alternativo.emailCampo = LeerIni(krn, "EMAIL_ALTERNATIVO", "EMAIL_CAMPO", "");
    c.alternativo.nombreCampo = LeerIni(krn, "EMAIL_ALTERNATIVO", "NOMBRE_CAMPO", "");
}

// Decides the mode and the paths; false when the invoicing application cannot be found.
void decidirModo(ContextoAnfitrion& c, const std::filesystem::path& krn, Dialogos& dialogos) {
    const std::string rutaFicheros = LeerIni(krn, "clsempleado", "rutaficheros", "");
    if (!sinBlancos(rutaFicheros).empty()) {
        c.modo = Modo::Nomina;
        c.rutaDocumentos = rutaDelAnfitrion(c.carpeta, rutaFicheros + "\\publicar");
        c.rutaBaseDatos = rutaDelAnfitrion(c.carpeta, rutaFicheros + "\\krnpgl.mdb");
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
    const auto separator = baseDatos.find_last_of("\\/");
    c.rutaDocumentos = rutaDelAnfitrion(
        c.carpeta, separator == std::string::npos
                       ? std::string("FacturasPorEmail")
                       : baseDatos.substr(0, separator) + "\\FacturasPorEmail");
    c.rutaBaseDatos = rutaDelAnfitrion(c.carpeta, baseDatos);
}

} // namespace

std::filesystem::path rutaDelAnfitrion(const CarpetaPrograma& carpeta, std::string_view texto) {
    const bool absolute = !texto.empty() && (texto.front() == '/' || texto.front() == '\\');
    if (absolute) {
        return fs::resolvePathIgnoringCase(texto);
    }
    return fs::resolvePathIgnoringCase(carpeta.ruta().string() + "/" + std::string(texto));
}

std::optional<ContextoAnfitrion> iniciarContexto(const CarpetaPrograma& carpeta, Dialogos& dialogos,
                                                 const Reloj& reloj) {
    ContextoAnfitrion c;
    c.carpeta = carpeta;
    const auto krn = carpeta.krnIni();
    abrirAlternativa(c, krn);
    decidirModo(c, krn, dialogos);
    if (!isFile(c.rutaBaseDatos)) {
        avisar(dialogos, "Ruta de la BBDD no configurada");
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
        c.baseTrabajo = prepararBaseTrabajo(carpeta);
    } catch (const ErrorBaseDatos& e) {
        avisar(dialogos,
               std::string("No se pudo preparar la base de datos del informe: ") + e.what(),
               Icono::Critico);
        return std::nullopt;
    }
    if (c.baseTrabajo.apartado) {
        avisar(dialogos,
               "El archivo " + c.baseTrabajo.baseDatos.filename().string() +
                   " no era una base de datos que el programa pueda escribir. Se ha "
                   "guardado como " +
                   c.baseTrabajo.apartado->filename().string() + " y se ha creado uno nuevo.",
               Icono::Exclamacion);
    }
    try {
        RegistroEnvios registro(RegistroEnvios::archivoEn(carpeta.ruta()));
        Reservas reservas(carpeta.ruta(), currentProcess());
        recuperarEnviosInterrumpidos(registro, reservas, dialogos);
    } catch (const ErrorBaseDatos& e) {
        avisar(dialogos, e.what(), Icono::Exclamacion);
    }
    c.correo = CargarConfiguracion(krn);
    return c;
}

} // namespace envio
