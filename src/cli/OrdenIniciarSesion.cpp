#include "cli/OrdenIniciarSesion.h"

#include "oauth/ConfiguracionOAuth.h"

#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace envio::cli {
namespace {

// The desktop's browser through xdg-open; false where there is none to start.
bool abrirEnNavegador(const std::string& url) {
    pid_t pid = -1;
    std::string programa = "xdg-open";
    char* argumentos[] = {programa.data(), const_cast<char*>(url.c_str()), nullptr};
    if (::posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argumentos, environ) != 0) {
        return false;
    }
    int estado = 0;
    return ::waitpid(pid, &estado, 0) == pid && WIFEXITED(estado) && WEXITSTATUS(estado) == 0;
}

} // namespace

int ordenIniciarSesion(const Opciones& opciones, const CarpetaPrograma& carpeta, HttpClient& http,
                       SecretStore& almacen, const Reloj& reloj, std::ostream& salida,
                       std::ostream& errores) {
    const ConfiguracionOAuth oauth = LeerConfiguracionOAuth(carpeta.krnIni());
    if (!oauth.usaOAuth()) {
        errores << "La configuración del servidor inicia sesión con usuario y contraseña; elija "
                   "Microsoft 365, Google u otro proveedor OAuth2 en la ventana de configuración "
                   "del servidor\n";
        return 2;
    }
    SesionOAuth sesion(oauth, http, almacen, reloj);
    try {
        TokensOAuth tokens;
        if (opciones.conCodigo) {
            InicioConDispositivo inicio;
            inicio.mostrarCodigo = [&](const CodigoDispositivo& c) {
                salida << "Para iniciar sesión con la cuenta " << oauth.cuenta << ", abra "
                       << c.urlVerificacion << " en cualquier dispositivo y escriba el código "
                       << c.codigoUsuario << " (caduca en " << c.caduca.count() / 60
                       << " minutos).\n"
                       << std::flush;
            };
            inicio.esperar = [](std::chrono::seconds s) { std::this_thread::sleep_for(s); };
            tokens = iniciarSesionConDispositivo(oauth, http, reloj, inicio);
        } else {
            InicioEnNavegador inicio;
            inicio.abrirNavegador = [&](const std::string& url) {
                salida << "Inicie sesión con la cuenta " << oauth.cuenta
                       << " en el navegador. Si no se abre, abra esta dirección en él:\n"
                       << url << '\n'
                       << std::flush;
                abrirEnNavegador(url);
                return true; // the address is on screen: the user can open it by hand
            };
            tokens = iniciarSesionEnNavegador(oauth, http, reloj, inicio);
        }
        sesion.guardar(tokens);
    } catch (const ErrorSesion& e) {
        errores << e.what() << '\n';
        return 2;
    } catch (const std::exception& e) {
        errores << "No se pudo iniciar sesión: " << e.what() << '\n';
        return 2;
    }
    salida << "Sesión iniciada con la cuenta " << oauth.cuenta
           << ". Los envíos la renovarán sin preguntar.\n";
    return 0;
}

} // namespace envio::cli
