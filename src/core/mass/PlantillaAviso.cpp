#include "mass/PlantillaAviso.h"

#include "settings/IniFile.h"
#include "settings/MensajeEnTrozos.h"
#include "settings/NumeroInicial.h"

namespace envio::masivo {
namespace {

// The program has always written the section in these two spellings; the settings file matches
// section names without regard to case, so both address one section.
constexpr std::string_view kSeccion = "AvisoPORemail";
constexpr std::string_view kSeccionConfirmacion = "AvisoPorEmail";

} // namespace

PlantillaAviso CargarPlantillaAviso(const std::filesystem::path& krn) {
    PlantillaAviso p;
    p.asunto = LeerIni(krn, kSeccion, "AsuntoAviso", "");
    p.mensaje = leerMensajeEnTrozos(krn, kSeccion, "MensajeAviso");
    p.confirmacion = redondearAPar(NumeroInicial(
                         LeerIni(krn, kSeccionConfirmacion, "ConfirmacionLectura", "0"))) == 1;
    return p;
}

bool GuardaDatos(const std::filesystem::path& krn, const PlantillaAviso& plantilla,
                 ConfiguracionCorreo& correo) {
    bool ok = EscribirIni(krn, kSeccion, "AsuntoAviso", plantilla.asunto);
    ok = escribirMensajeEnTrozos(krn, kSeccion, "MensajeAviso", plantilla.mensaje) && ok;
    ok = EscribirIni(krn, kSeccionConfirmacion, "ConfirmacionLectura",
                     plantilla.confirmacion ? "1" : "0") &&
         ok;
    ok = EscribirIni(krn, kSeccion, "TipoMotor", "MAPI") && ok;
    correo = CargarConfiguracion(krn);
    return ok;
}

bool guardarPlantilla(const std::filesystem::path& krn, const PlantillaAviso& plantilla,
                      ConfiguracionCorreo& correo, Dialogos& dialogos) {
    // The window saves as it closes and sends what it shows, so the notice is saved anyway and
    // the user learns what the next opening will show differently.
    const std::string fuera = letrasQueNoCaben(krn, plantilla.asunto + plantilla.mensaje);
    if (!fuera.empty()) {
        dialogos.mostrar({"El aviso contiene caracteres que no se pueden guardar en la "
                          "configuración: " +
                              fuera + ". La próxima vez aparecerán como «?».",
                          "Aviso", Icono::Exclamacion, Botones::Aceptar});
    }
    if (GuardaDatos(krn, plantilla, correo)) {
        return true;
    }
    dialogos.mostrar({"No se pudo guardar el mensaje de aviso en " + krn.string() +
                          ". Compruebe que el archivo no es de solo lectura.",
                      "Aviso", Icono::Critico, Botones::Aceptar});
    return false;
}

} // namespace envio::masivo
