#pragma once

#include "mail/LimitesEnvio.h"
#include "oauth/SesionOAuth.h"
#include "platform/ConnectivityProbe.h"
#include "platform/MailTransport.h"
#include "settings/ConfiguracionCorreo.h"
#include "ui/Dialogos.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace envio {

// The boxes of the server settings window, as they stand; the password in clear.
struct CamposServidor {
    std::string servidor;
    std::string puerto;
    bool ssl = false;
    std::string cuenta;
    std::string usuario;
    std::string password;
    bool operator==(const CamposServidor&) const = default;
};

// The text boxes by their index in the window's array.
enum class CampoServidor { Servidor = 0, Puerto = 1, Cuenta = 2, Usuario = 3, Password = 4 };

// What a test message tried and how it ended.
struct IntentoPrueba {
    std::string servidor;
    double puerto = 0;
    bool ssl = false;
    bool enviado = false;
};

// The mail component and the connection check a test message uses. A new component per test:
// the window's test must not share a connection with anything else.
struct ComponentesCorreo {
    std::function<std::unique_ptr<MailTransport>()> crearComponente;
    std::function<std::unique_ptr<ConnectivityProbe>()> crearSonda;
};

// For an OAuth2 account: the requests to the provider and where its sign-in is kept. Empty,
// libcurl with the system's certificates and the program's secret store.
struct ComponentesOAuth {
    std::function<std::unique_ptr<HttpClient>()> crearHttp;
    SecretStore* almacen = nullptr;
};

class CarpetaPrograma;
// The program's own: libcurl with the site's certificate authority, and the system's check.
ComponentesCorreo componentesDelPrograma(const CarpetaPrograma& carpeta);
// The provider is reached with the site's certificate authority too.
ComponentesOAuth componentesOAuthDelPrograma(const CarpetaPrograma& carpeta);

// Receives the mail settings just stored, so that the sending runs use them from now on.
using RecargarCorreo = std::function<void(const ConfiguracionCorreo&)>;

inline constexpr const char* kTituloPrograma = "Envío de documentos por e-mail";
inline constexpr const char* kTextoGuardarCambios = "¿Desea guardar los cambios?";
inline constexpr const char* kTextoNoEnviado =
    "El programa no fue capaz de enviar el mensaje, revise la configuración";
inline constexpr const char* kTextoPuertoNoValido = "El puerto debe ser un número entre 1 y 65535.";
inline constexpr const char* kTextoClaveNoGuardable =
    "La contraseña contiene caracteres que no se pueden guardar en la configuración.";

// The server settings window without its widgets: loading from KRN.INI, the change flag that
// "Guardar" follows, saving (the password scrambled), the test message on a worker thread with
// the values as typed, and the question on closing.
class PantallaServidor {
public:
    // Links of the side panel, by the indexes the window has always used.
    static constexpr int kGuardar = 0;
    static constexpr int kSalir = 1;
    static constexpr int kProbar = 2;

    // A settings line reads back at most 256 characters, and the stored password takes two per
    // character; longer texts would come back cut.
    static constexpr int kLongitudMaxima = 256;
    static constexpr int kLongitudMaximaPassword = kLongitudMaxima / 2;

    // `dialogos` must be safe to call from the test's worker thread and outlive this object.
    PantallaServidor(std::filesystem::path krn, Dialogos& dialogos, ComponentesCorreo componentes,
                     RecargarCorreo recargar = {});
    ~PantallaServidor();
    PantallaServidor(const PantallaServidor&) = delete;
    PantallaServidor& operator=(const PantallaServidor&) = delete;

    // Reads the six settings; afterwards nothing counts as changed.
    void cargar();

    [[nodiscard]] const CamposServidor& campos() const { return campos_; }
    [[nodiscard]] const std::string& texto(CampoServidor campo) const;
    [[nodiscard]] bool blnCambios() const { return blnCambios_; }
    // "Guardar" is there exactly while something is unsaved.
    [[nodiscard]] bool guardarHabilitado() const { return blnCambios_; }

    // The user's edits. Any edit counts as a change, even one that puts back what was stored.
    void escribir(CampoServidor campo, std::string texto);
    // Ticking or unticking SSL. The port stays as the user stored it: the window only shows the
    // usual port of each choice beside it (puertoHabitual).
    void marcarSsl(bool marcado);

    // The account's sending limits ([servidor] LimitePorMinuto, LimitePorDia; 0 is none).
    [[nodiscard]] const LimitesCuenta& limites() const { return limites_; }
    void fijarLimites(LimitesCuenta limites);

    // The sign-in choice and the site's registration with its provider, as typed; any change
    // counts as an edit. The account that signs in is the user box's.
    [[nodiscard]] const ConfiguracionOAuth& oauth() const { return oauth_; }
    void usarComponentesOAuth(ComponentesOAuth componentes) {
        oauthComponentes_ = std::move(componentes);
    }
    void escribirOAuth(ConfiguracionOAuth oauth);
    // What the window shows under the choice: whether this machine holds a sign-in.
    [[nodiscard]] std::string estadoSesion();

    // Signs in with the values as typed, in the browser, on a worker thread; the result goes
    // through `dialogos`, and `alTerminar` runs on that thread afterwards. False when a test or
    // a sign-in is already under way.
    bool iniciarSesion(std::function<bool(const std::string&)> abrirNavegador,
                       std::function<void(bool)> alTerminar = {});
    // Gives up a sign-in under way (the window closes): the wait for the browser ends.
    void cancelarSesion() { cancelarSesion_ = true; }

    // Stores the six settings. False, with the user told why, when the port is not one or the
    // file could not be written; the changes then stay unsaved.
    bool GuardarConfiguracion();

    // Closing by any means: asks whether to save when something is unsaved. False when the
    // window must stay open: a test message is still under way, or the user wanted to save and
    // the save failed.
    bool cerrar();

    // Starts the test message with the boxes as they stand now, saved or not, on a worker
    // thread; its boxes go through `dialogos`. `alTerminar` runs on that thread after the last
    // box. False when a test is already under way.
    bool iniciarPrueba(std::function<void(const IntentoPrueba&)> alTerminar = {});
    [[nodiscard]] bool probando() const { return probando_; }
    void esperarPrueba();

    // The test message itself, on the calling thread.
    static IntentoPrueba ProbarConfiguracion(const CamposServidor& campos,
                                             MailTransport& componente, ConnectivityProbe& sonda,
                                             Dialogos& dialogos);

private:
    // The typed OAuth2 settings with the account filled in from the boxes.
    [[nodiscard]] ConfiguracionOAuth oauthCompleta() const;
    std::unique_ptr<HttpClient> crearHttp() const;
    SecretStore& almacen() const;

    std::filesystem::path krn_;
    Dialogos& dialogos_;
    ComponentesCorreo componentes_;
    RecargarCorreo recargar_;
    CamposServidor campos_;
    bool blnCambios_ = false;
    LimitesCuenta limites_;
    ConfiguracionOAuth oauth_;
    ComponentesOAuth oauthComponentes_;
    std::atomic<bool> probando_{false};
    std::atomic<bool> cancelarSesion_{false};
    std::thread hilo_;
};

// Whether the scrambled password reads back as typed.
bool claveGuardable(std::string_view clave);
// The port of the test message: the number the box begins with, 0 when there is none.
double puertoDePrueba(const std::string& texto);
// "el servidor «smtp.ejemplo.es», puerto 587, con SSL"
std::string describirIntento(const std::string& servidor, double puerto, bool ssl);
// The usual port for a choice of SSL: 465 with it, 25 without.
std::string puertoHabitual(bool ssl);

// The sending limits the window offers by name; Otros takes the values typed.
enum class ProveedorLimites { Ninguno, Microsoft365, Gmail, Otros };
LimitesCuenta limitesDe(ProveedorLimites proveedor);
// The name a pair of limits is shown under: Otros for any pair that is not a preset.
ProveedorLimites proveedorDe(const LimitesCuenta& limites);

} // namespace envio
