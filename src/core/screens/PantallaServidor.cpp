#include "screens/PantallaServidor.h"

#include "host/CarpetaPrograma.h"
#include "mail/OpcionesComponente.h"
#include "mail/clsCDOmail.h"
#include "oauth/TransporteOAuth.h"
#include "platform/CurlMailTransport.h"
#include "settings/CodificarClave.h"
#include "settings/IniFile.h"
#include "settings/NumeroInicial.h"
#include "settings/Windows1252.h"

#include <algorithm>
#include <cmath>
#include <sstream>

namespace envio {
namespace {

// Five keys are written under "servidor" and the switch under "Servidor", as the suite's other
// programs have them; the names match without regard to case, so both are one section.
constexpr const char* kSeccion = "servidor";
constexpr const char* kSeccionSsl = "Servidor";

// The limits are ours: a site that never set one keeps its [servidor] as the suite wrote it.
bool guardarLimite(const std::filesystem::path& krn, const char* clave, int valor) {
    if (valor == 0 && LeerIni(krn, kSeccion, clave, "").empty()) {
        return true;
    }
    return EscribirIni(krn, kSeccion, clave, std::to_string(valor));
}

template <typename Campos> auto& campo(Campos& c, CampoServidor cual) {
    switch (cual) {
    case CampoServidor::Servidor:
        return c.servidor;
    case CampoServidor::Puerto:
        return c.puerto;
    case CampoServidor::Cuenta:
        return c.cuenta;
    case CampoServidor::Usuario:
        return c.usuario;
    case CampoServidor::Password:
        break;
    }
    return c.password;
}

void avisarFalloGuardar(Dialogos& dialogos, const std::filesystem::path& krn) {
    dialogos.mostrar({"No se pudo guardar la configuración en " + krn.string() +
                          ". Compruebe que el archivo no es de solo lectura.",
                      "Aviso", Icono::Critico, Botones::Aceptar});
}

} // namespace

bool claveGuardable(std::string_view clave) {
    const std::string bytes = utf8ToWindows1252(clave);
    if (windows1252ToUtf8(bytes) != clave) {
        return false; // a letter the settings file's code page has no place for
    }
    for (const char c : bytes) {
        const auto codigo = static_cast<unsigned char>(c);
        // Two codes up, 254 and 255 would leave the code page; below a blank they would become
        // controls that a settings line cannot carry.
        if (codigo >= 254 || codigo < 32) {
            return false;
        }
    }
    return true;
}

double puertoDePrueba(const std::string& texto) {
    return NumeroInicial(texto);
}

std::string describirIntento(const std::string& servidor, double puerto, bool ssl) {
    std::ostringstream s;
    s << "el servidor «" << servidor << "», puerto ";
    if (std::isfinite(puerto) && puerto == std::floor(puerto) && std::fabs(puerto) < 1e15) {
        s << static_cast<long long>(puerto);
    } else {
        s << puerto;
    }
    s << (ssl ? ", con SSL" : ", sin SSL");
    return s.str();
}

ComponentesCorreo componentesDelPrograma(const CarpetaPrograma& carpeta) {
    // The certificate authority is read when the test starts, so an edit of KRN.INI counts.
    return {[carpeta] { return std::make_unique<CurlMailTransport>(opcionesComponente(carpeta)); },
            [] { return std::make_unique<LinuxConnectivityProbe>(); }};
}

ComponentesOAuth componentesOAuthDelPrograma(const CarpetaPrograma& carpeta) {
    return {[carpeta] {
                return std::make_unique<CurlHttpClient>(opcionesComponente(carpeta).archivoCA);
            },
            nullptr};
}

std::string puertoHabitual(bool ssl) {
    return ssl ? "465" : "25";
}

LimitesCuenta limitesDe(ProveedorLimites proveedor) {
    switch (proveedor) {
    case ProveedorLimites::Microsoft365:
        return kLimitesMicrosoft365;
    case ProveedorLimites::Gmail:
        return kLimitesGmail;
    case ProveedorLimites::Ninguno:
    case ProveedorLimites::Otros:
        break;
    }
    return {};
}

ProveedorLimites proveedorDe(const LimitesCuenta& limites) {
    if (limites == LimitesCuenta{}) {
        return ProveedorLimites::Ninguno;
    }
    if (limites == kLimitesMicrosoft365) {
        return ProveedorLimites::Microsoft365;
    }
    return limites == kLimitesGmail ? ProveedorLimites::Gmail : ProveedorLimites::Otros;
}

PantallaServidor::PantallaServidor(std::filesystem::path krn, Dialogos& dialogos,
                                   ComponentesCorreo componentes, RecargarCorreo recargar)
    : krn_(std::move(krn)), dialogos_(dialogos), componentes_(std::move(componentes)),
      recargar_(std::move(recargar)) {}

PantallaServidor::~PantallaServidor() {
    esperarPrueba();
}

void PantallaServidor::cargar() {
    campos_.servidor = LeerIni(krn_, kSeccion, "Servidor", "");
    campos_.puerto = LeerIni(krn_, kSeccion, "Puerto", "25");
    campos_.cuenta = LeerIni(krn_, kSeccion, "cuenta", "");
    campos_.usuario = LeerIni(krn_, kSeccion, "Usuario", "");
    campos_.password = CodificarClave(LeerIni(krn_, kSeccion, "Password", ""), false);
    campos_.ssl = NumeroInicial(LeerIni(krn_, kSeccionSsl, "SSL", "0")) != 0.0;
    limites_.porMinuto = limiteDesdeTexto(LeerIni(krn_, kSeccion, "LimitePorMinuto", "0"));
    limites_.porDia = limiteDesdeTexto(LeerIni(krn_, kSeccion, "LimitePorDia", "0"));
    oauth_ = LeerConfiguracionOAuth(krn_);
    oauth_.cuenta.clear(); // the boxes hold it
    // Filling the boxes is not an edit: a window just opened has nothing to save.
    blnCambios_ = false;
}

const std::string& PantallaServidor::texto(CampoServidor cual) const {
    return campo(campos_, cual);
}

void PantallaServidor::escribir(CampoServidor cual, std::string texto) {
    campo(campos_, cual) = std::move(texto);
    blnCambios_ = true;
}

// The port the user stored is theirs: a provider's STARTTLS port (587) is as right with SSL as
// 465 is, and one the program rewrote behind the user's back would send elsewhere.
void PantallaServidor::marcarSsl(bool marcado) {
    campos_.ssl = marcado;
    blnCambios_ = true;
}

void PantallaServidor::fijarLimites(LimitesCuenta limites) {
    limites_.porMinuto = std::max(limites.porMinuto, 0);
    limites_.porDia = std::max(limites.porDia, 0);
    blnCambios_ = true;
}

bool PantallaServidor::GuardarConfiguracion() {
    // A port that is not one would make every later sending fail with a connection error far
    // from here; it is refused while the user still sees what was typed.
    const int puerto = puertoDesdeTexto(campos_.puerto);
    if (puerto < 1) {
        dialogos_.mostrar({kTextoPuertoNoValido, "Aviso", Icono::Exclamacion, Botones::Aceptar});
        return false;
    }
    // The scrambled form only holds the code page's letters; anything else would come back as
    // a different password, and the account would stop working with no hint why.
    if (!claveGuardable(campos_.password)) {
        dialogos_.mostrar({kTextoClaveNoGuardable, "Aviso", Icono::Exclamacion, Botones::Aceptar});
        return false;
    }
    const bool ok =
        EscribirIni(krn_, kSeccion, "Servidor", campos_.servidor) &&
        EscribirIni(krn_, kSeccion, "Puerto", campos_.puerto) &&
        EscribirIni(krn_, kSeccion, "cuenta", campos_.cuenta) &&
        EscribirIni(krn_, kSeccion, "Usuario", campos_.usuario) &&
        EscribirIni(krn_, kSeccion, "Password", CodificarClave(campos_.password, true)) &&
        EscribirIni(krn_, kSeccionSsl, "SSL", campos_.ssl ? "1" : "0") &&
        guardarLimite(krn_, "LimitePorMinuto", limites_.porMinuto) &&
        guardarLimite(krn_, "LimitePorDia", limites_.porDia) &&
        // A site that never chose OAuth2 gets no section for it.
        (oauth_ == ConfiguracionOAuth{} || GuardarConfiguracionOAuth(krn_, oauthCompleta()));
    if (!ok) {
        avisarFalloGuardar(dialogos_, krn_);
        return false;
    }
    blnCambios_ = false;
    // The runs must not go on sending through the server the user has just replaced.
    if (recargar_) {
        recargar_(CargarConfiguracion(krn_));
    }
    return true;
}

bool PantallaServidor::cerrar() {
    if (probando_) {
        return false; // the test's boxes still belong to this window
    }
    if (!blnCambios_) {
        return true;
    }
    const Respuesta r =
        dialogos_.mostrar({kTextoGuardarCambios, "Aviso", Icono::Pregunta, Botones::SiNo});
    if (r == Respuesta::Si) {
        return GuardarConfiguracion();
    }
    return true;
}

bool PantallaServidor::iniciarPrueba(std::function<void(const IntentoPrueba&)> alTerminar) {
    if (probando_.exchange(true)) {
        return false;
    }
    if (hilo_.joinable()) {
        hilo_.join(); // the previous test has ended; only its thread is left
    }
    hilo_ = std::thread([this, campos = campos_, oauth = oauthCompleta(),
                         alTerminar = std::move(alTerminar)] {
        IntentoPrueba intento{campos.servidor, puertoDePrueba(campos.puerto), campos.ssl, false};
        try {
            const auto componente = componentes_.crearComponente();
            const auto sonda = componentes_.crearSonda();
            if (oauth.usaOAuth()) {
                // The test signs in as the runs will: with this machine's stored sign-in.
                const auto http = crearHttp();
                const RelojDelSistema reloj;
                SesionOAuth sesion(oauth, *http, almacen(), reloj);
                TransporteOAuth conOAuth(*componente, sesion);
                intento = ProbarConfiguracion(campos, conOAuth, *sonda, dialogos_);
            } else {
                intento = ProbarConfiguracion(campos, *componente, *sonda, dialogos_);
            }
        } catch (const std::exception& e) {
            // Only a component that cannot be created gets here; the user learns why.
            dialogos_.mostrar({e.what(), "Aviso", Icono::Critico, Botones::Aceptar});
            dialogos_.mostrar({kTextoNoEnviado, "Aviso", Icono::Critico, Botones::Aceptar});
        }
        // Cleared first: whatever `alTerminar` sets off may already start the next test.
        probando_ = false;
        if (alTerminar) {
            alTerminar(intento);
        }
    });
    return true;
}

void PantallaServidor::escribirOAuth(ConfiguracionOAuth oauth) {
    oauth_ = std::move(oauth);
    blnCambios_ = true;
}

ConfiguracionOAuth PantallaServidor::oauthCompleta() const {
    ConfiguracionOAuth c = oauth_;
    // The mailbox signs in as itself unless a user of its own is given.
    c.cuenta = campos_.usuario.empty() ? campos_.cuenta : campos_.usuario;
    return c;
}

std::unique_ptr<HttpClient> PantallaServidor::crearHttp() const {
    if (oauthComponentes_.crearHttp) {
        return oauthComponentes_.crearHttp();
    }
    return std::make_unique<CurlHttpClient>();
}

SecretStore& PantallaServidor::almacen() const {
    return oauthComponentes_.almacen != nullptr ? *oauthComponentes_.almacen : programSecretStore();
}

std::string PantallaServidor::estadoSesion() {
    const ConfiguracionOAuth c = oauthCompleta();
    if (!c.usaOAuth()) {
        return {};
    }
    const auto http = crearHttp();
    const RelojDelSistema reloj;
    SesionOAuth sesion(c, *http, almacen(), reloj);
    return sesion.haySesionGuardada()
               ? "Hay una sesión iniciada con la cuenta " + c.cuenta + " en este equipo."
               : "Todavía no se ha iniciado sesión con la cuenta " + c.cuenta + " en este equipo.";
}

bool PantallaServidor::iniciarSesion(std::function<bool(const std::string&)> abrirNavegador,
                                     std::function<void(bool)> alTerminar) {
    if (probando_.exchange(true)) {
        return false;
    }
    if (hilo_.joinable()) {
        hilo_.join();
    }
    cancelarSesion_ = false;
    hilo_ = std::thread([this, oauth = oauthCompleta(), abrirNavegador = std::move(abrirNavegador),
                         alTerminar = std::move(alTerminar)] {
        bool iniciada = false;
        try {
            const auto http = crearHttp();
            const RelojDelSistema reloj;
            InicioEnNavegador inicio;
            inicio.abrirNavegador = abrirNavegador;
            inicio.cancelar = &cancelarSesion_;
            SesionOAuth sesion(oauth, *http, almacen(), reloj);
            sesion.guardar(iniciarSesionEnNavegador(oauth, *http, reloj, inicio));
            iniciada = true;
            dialogos_.mostrar({"Sesión iniciada con la cuenta " + oauth.cuenta +
                                   ". Los envíos la renovarán sin preguntar.",
                               kTituloPrograma, Icono::Informacion, Botones::Aceptar});
        } catch (const std::exception& e) {
            dialogos_.mostrar({e.what(), "Aviso", Icono::Critico, Botones::Aceptar});
        }
        probando_ = false;
        if (alTerminar) {
            alTerminar(iniciada);
        }
    });
    return true;
}

void PantallaServidor::esperarPrueba() {
    if (hilo_.joinable()) {
        hilo_.join();
    }
}

IntentoPrueba PantallaServidor::ProbarConfiguracion(const CamposServidor& campos,
                                                    MailTransport& componente,
                                                    ConnectivityProbe& sonda, Dialogos& dialogos) {
    IntentoPrueba intento{campos.servidor, puertoDePrueba(campos.puerto), campos.ssl, false};
    clsCDOmail oMail(componente, sonda);
    oMail.servidor = campos.servidor;
    oMail.puerto = intento.puerto;
    oMail.UseAuntentificacion = true;
    oMail.ssl = campos.ssl;
    oMail.Usuario = campos.usuario;
    oMail.PassWord = campos.password;
    oMail.Asunto = "Prueba de mensaje";
    oMail.Adjunto = "";
    oMail.de = campos.cuenta;
    oMail.para = campos.cuenta;
    oMail.Mensaje = "Mensaje de prueba de configuración de correo";
    oMail.EnvioCompleto = [&dialogos] {
        dialogos.mostrar(
            {"Mensaje enviado", kTituloPrograma, Icono::Informacion, Botones::Aceptar});
    };
    oMail.Error = [&dialogos](const std::string& descripcion, long numero) {
        dialogos.mostrar({descripcion, std::to_string(numero), Icono::Critico, Botones::Aceptar});
    };
    try {
        intento.enviado = oMail.Enviar();
    } catch (const ErrorComponenteCorreo& e) {
        // The component failed before its send step and raised no event: shown as one would be.
        dialogos.mostrar({e.what(), std::to_string(e.numero()), Icono::Critico, Botones::Aceptar});
        intento.enviado = false;
    }
    if (!intento.enviado) {
        // The window's status line says which server and port were tried; the box keeps its text.
        dialogos.mostrar({kTextoNoEnviado, "Aviso", Icono::Critico, Botones::Aceptar});
    }
    return intento;
}

} // namespace envio
