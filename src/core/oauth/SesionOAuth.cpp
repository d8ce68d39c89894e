#include "oauth/SesionOAuth.h"

#include "platform/Base64.h"
#include "platform/LoopbackListener.h"

#include <nlohmann/json.hpp>
#include <openssl/rand.h>
#include <openssl/sha.h>

namespace envio {
namespace {

using nlohmann::json;
using std::chrono::seconds;

constexpr const char* kDeviceCodeGrant = "urn:ietf:params:oauth:grant-type:device_code";
// Renewed this long before it runs out, so that a token never expires on its way to the server.
constexpr seconds kMargen{60};

constexpr const char* kPaginaVuelta =
    "<!DOCTYPE html><html lang=\"es\"><head><meta charset=\"utf-8\"><title>Inicio de "
    "sesi&oacute;n</title></head><body><p>El navegador ha devuelto la respuesta al programa. "
    "Puede cerrar esta ventana y volver a Env&iacute;o de documentos por e-mail.</p></body></html>";

// The fields every request to the token endpoint carries.
FormFields conCliente(const ConfiguracionOAuth& c, FormFields campos) {
    campos.emplace_back("client_id", c.idCliente);
    if (!c.secretoCliente.empty()) {
        campos.emplace_back("client_secret", c.secretoCliente);
    }
    return campos;
}

std::string campoTexto(const json& cuerpo, const char* nombre) {
    const auto it = cuerpo.find(nombre);
    return it != cuerpo.end() && it->is_string() ? it->get<std::string>() : std::string();
}

seconds campoSegundos(const json& cuerpo, const char* nombre, seconds porDefecto) {
    const auto it = cuerpo.find(nombre);
    if (it == cuerpo.end()) {
        return porDefecto;
    }
    // Some providers send the numbers as strings.
    if (it->is_number_integer() && it->get<long long>() >= 0) {
        return seconds(it->get<long long>());
    }
    if (it->is_string()) {
        try {
            return seconds(std::stoll(it->get<std::string>()));
        } catch (const std::exception&) {
        }
    }
    return porDefecto;
}

json pedir(HttpClient& http, const std::string& url, const FormFields& campos) {
    HttpResponse respuesta;
    try {
        respuesta = http.postForm(url, campos);
    } catch (const HttpError& e) {
        throw ErrorSesion("No se pudo conectar con el proveedor de inicio de sesión (" + url +
                              "): " + e.what(),
                          false);
    }
    json cuerpo = json::parse(respuesta.body, nullptr, false);
    if (!cuerpo.is_object()) {
        throw ErrorSesion("El proveedor de inicio de sesión (" + url +
                              ") respondió algo que no se entiende (HTTP " +
                              std::to_string(respuesta.status) + ")",
                          false);
    }
    return cuerpo;
}

std::string descripcionError(const json& cuerpo) {
    const std::string descripcion = campoTexto(cuerpo, "error_description");
    return campoTexto(cuerpo, "error") + (descripcion.empty() ? "" : ": " + descripcion);
}

// A refusal of the token endpoint, in the user's words.
[[noreturn]] void rechazo(const ConfiguracionOAuth& c, const json& cuerpo) {
    const std::string error = campoTexto(cuerpo, "error");
    if (error == "invalid_grant") {
        throw ErrorSesion(
            textoVolverAIniciar(c.cuenta, "el proveedor ya no acepta el inicio de sesión "
                                          "guardado, que ha caducado o se ha revocado (" +
                                              descripcionError(cuerpo) + ")"),
            true);
    }
    if (error == "invalid_client" || error == "unauthorized_client") {
        throw ErrorSesion("El proveedor no reconoce la aplicación con el identificador de cliente "
                          "«" +
                              c.idCliente + "» (" + descripcionError(cuerpo) +
                              "). Revise el identificador de cliente en la configuración del "
                              "servidor y el registro de la aplicación en el proveedor.",
                          true);
    }
    throw ErrorSesion("El proveedor rechazó el inicio de sesión: " + descripcionError(cuerpo),
                      true);
}

TokensOAuth tokensDe(const ConfiguracionOAuth& c, const json& cuerpo, const Reloj& reloj) {
    TokensOAuth t;
    t.acceso = campoTexto(cuerpo, "access_token");
    if (t.acceso.empty()) {
        rechazo(c, cuerpo);
    }
    t.renovacion = campoTexto(cuerpo, "refresh_token");
    t.caducaAcceso = reloj.ahora() + campoSegundos(cuerpo, "expires_in", seconds(3600));
    return t;
}

} // namespace

std::string textoVolverAIniciar(const std::string& cuenta, const std::string& motivo) {
    return "Vuelva a iniciar sesión con la cuenta " + cuenta + " (" + motivo +
           "): en la configuración del servidor, «Iniciar sesión», o desde la línea de órdenes, "
           "envio-documentos --iniciar-sesion. No se ha enviado nada.";
}

std::string valorAleatorio(std::size_t bytes) {
    std::string aleatorio(bytes, '\0');
    auto* datos = reinterpret_cast<unsigned char*>(aleatorio.data());
    if (RAND_bytes(datos, static_cast<int>(bytes)) != 1) {
        throw ErrorSesion("El sistema no da números aleatorios para el inicio de sesión", false);
    }
    return base64Url(std::string_view(reinterpret_cast<const char*>(datos), bytes));
}

std::string desafioS256(const std::string& verificador) {
    unsigned char resumen[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(verificador.data()), verificador.size(), resumen);
    return base64Url(std::string_view(reinterpret_cast<const char*>(resumen), sizeof resumen));
}

Pkce crearPkce() {
    // 32 bytes give the 43 characters that RFC 7636 asks for at least.
    Pkce p;
    p.verificador = valorAleatorio(32);
    p.desafio = desafioS256(p.verificador);
    return p;
}

SesionOAuth::SesionOAuth(ConfiguracionOAuth configuracion, HttpClient& http, SecretStore& almacen,
                         const Reloj& reloj)
    : configuracion_(std::move(configuracion)), http_(http), almacen_(almacen), reloj_(reloj) {}

std::string SesionOAuth::tokenAcceso() {
    const std::lock_guard cerrojo(mutex_);
    if (actual_ && reloj_.ahora() + kMargen < actual_->caducaAcceso) {
        return actual_->acceso;
    }
    std::optional<std::string> renovacion;
    try {
        renovacion = almacen_.read(claveSesion(configuracion_));
    } catch (const SecretStoreError& e) {
        throw ErrorSesion(e.what(), false);
    }
    if (!renovacion || renovacion->empty()) {
        throw ErrorSesion(textoVolverAIniciar(configuracion_.cuenta,
                                              "no hay ningún inicio de sesión guardado para "
                                              "esta cuenta en este equipo y usuario"),
                          true);
    }
    TokensOAuth nuevos = renovar(*renovacion);
    if (!nuevos.renovacion.empty() && nuevos.renovacion != *renovacion) {
        // The provider replaced the refresh token: the old one will not work again.
        try {
            almacen_.write(claveSesion(configuracion_), nuevos.renovacion);
        } catch (const SecretStoreError& e) {
            throw ErrorSesion(
                "No se pudo guardar el inicio de sesión renovado: " + std::string(e.what()), false);
        }
    }
    actual_ = nuevos;
    return actual_->acceso;
}

void SesionOAuth::descartarTokenAcceso() {
    const std::lock_guard cerrojo(mutex_);
    actual_.reset();
}

void SesionOAuth::guardar(const TokensOAuth& tokens) {
    const std::lock_guard cerrojo(mutex_);
    if (!tokens.renovacion.empty()) {
        try {
            almacen_.write(claveSesion(configuracion_), tokens.renovacion);
        } catch (const SecretStoreError& e) {
            throw ErrorSesion("No se pudo guardar el inicio de sesión: " + std::string(e.what()),
                              false);
        }
    }
    actual_ = tokens;
}

bool SesionOAuth::haySesionGuardada() {
    try {
        const auto r = almacen_.read(claveSesion(configuracion_));
        return r && !r->empty();
    } catch (const SecretStoreError&) {
        return false;
    }
}

TokensOAuth SesionOAuth::renovar(const std::string& renovacion) {
    const PuntosOAuth p = puntosOAuth(configuracion_);
    const json cuerpo = pedir(http_, p.token,
                              conCliente(configuracion_, {{"grant_type", "refresh_token"},
                                                          {"refresh_token", renovacion},
                                                          {"scope", p.ambito}}));
    return tokensDe(configuracion_, cuerpo, reloj_);
}

TokensOAuth iniciarSesionEnNavegador(const ConfiguracionOAuth& c, HttpClient& http,
                                     const Reloj& reloj, const InicioEnNavegador& inicio) {
    const PuntosOAuth p = puntosOAuth(c);
    if (p.autorizacion.empty() || p.token.empty() || c.idCliente.empty()) {
        throw ErrorSesion("Falta el identificador de cliente o la dirección de autorización o de "
                          "token del proveedor en la configuración del servidor",
                          false);
    }
    LoopbackListener escucha;
    const Pkce pkce = crearPkce();
    const std::string estado = valorAleatorio(24);
    const std::string redireccion = std::string("http://") +
                                    (p.redireccionLocalhost ? "localhost" : "127.0.0.1") + ":" +
                                    std::to_string(escucha.port()) + "/";
    FormFields campos{{"response_type", "code"},
                      {"client_id", c.idCliente},
                      {"redirect_uri", redireccion},
                      {"scope", p.ambito},
                      {"state", estado},
                      {"code_challenge", pkce.desafio},
                      {"code_challenge_method", "S256"}};
    if (!c.cuenta.empty()) {
        campos.emplace_back("login_hint", c.cuenta);
    }
    const std::string url = p.autorizacion +
                            (p.autorizacion.find('?') == std::string::npos ? "?" : "&") +
                            formEncode(campos);
    if (!inicio.abrirNavegador(url)) {
        throw ErrorSesion("No se pudo abrir el navegador. Abra esta dirección en él: " + url,
                          false);
    }
    const auto consulta =
        escucha.waitForRequest("/", kPaginaVuelta, inicio.espera, inicio.cancelar);
    if (!consulta) {
        throw ErrorSesion(inicio.cancelar != nullptr && *inicio.cancelar
                              ? "Se canceló el inicio de sesión"
                              : "El navegador no devolvió la respuesta del proveedor a tiempo; "
                                "vuelva a intentarlo",
                          false);
    }
    std::string codigo;
    std::string estadoVuelto;
    json error = json::object();
    for (const auto& [nombre, valor] : parseQuery(*consulta)) {
        if (nombre == "code") {
            codigo = valor;
        } else if (nombre == "state") {
            estadoVuelto = valor;
        } else if (nombre == "error" || nombre == "error_description") {
            error[nombre] = valor;
        }
    }
    // A redirect that is not the answer to this very request (RFC 6749, 10.12) is not used.
    if (estadoVuelto != estado) {
        throw ErrorSesion("La respuesta que llegó del navegador no corresponde a este inicio de "
                          "sesión y no se ha usado; vuelva a intentarlo",
                          false);
    }
    if (codigo.empty()) {
        throw ErrorSesion("El proveedor no concedió el acceso: " + descripcionError(error), false);
    }
    const json cuerpo = pedir(http, p.token,
                              conCliente(c, {{"grant_type", "authorization_code"},
                                             {"code", codigo},
                                             {"redirect_uri", redireccion},
                                             {"code_verifier", pkce.verificador}}));
    return tokensDe(c, cuerpo, reloj);
}

TokensOAuth iniciarSesionConDispositivo(const ConfiguracionOAuth& c, HttpClient& http,
                                        const Reloj& reloj, const InicioConDispositivo& inicio) {
    const PuntosOAuth p = puntosOAuth(c);
    if (p.dispositivo.empty() || p.token.empty() || c.idCliente.empty()) {
        throw ErrorSesion("Falta el identificador de cliente o la dirección de inicio de sesión "
                          "con código del proveedor en la configuración del servidor",
                          false);
    }
    const json pedido = pedir(http, p.dispositivo, conCliente(c, {{"scope", p.ambito}}));
    const std::string dispositivo = campoTexto(pedido, "device_code");
    CodigoDispositivo codigo;
    codigo.codigoUsuario = campoTexto(pedido, "user_code");
    // Google names it verification_url.
    codigo.urlVerificacion = campoTexto(pedido, "verification_uri");
    if (codigo.urlVerificacion.empty()) {
        codigo.urlVerificacion = campoTexto(pedido, "verification_url");
    }
    codigo.urlCompleta = campoTexto(pedido, "verification_uri_complete");
    codigo.caduca = campoSegundos(pedido, "expires_in", seconds(900));
    if (dispositivo.empty() || codigo.codigoUsuario.empty() || codigo.urlVerificacion.empty()) {
        throw ErrorSesion("El proveedor no dio un código para iniciar sesión: " +
                              descripcionError(pedido),
                          false);
    }
    inicio.mostrarCodigo(codigo);
    seconds intervalo = campoSegundos(pedido, "interval", seconds(5));
    // Counted in the waits themselves, so that the end comes with any clock.
    seconds transcurrido{0};
    while (transcurrido < codigo.caduca) {
        if (inicio.cancelar != nullptr && *inicio.cancelar) {
            throw ErrorSesion("Se canceló el inicio de sesión", false);
        }
        inicio.esperar(intervalo);
        transcurrido += intervalo;
        const json cuerpo =
            pedir(http, p.token,
                  conCliente(c, {{"grant_type", kDeviceCodeGrant}, {"device_code", dispositivo}}));
        const std::string error = campoTexto(cuerpo, "error");
        if (error == "authorization_pending") {
            continue;
        }
        if (error == "slow_down") {
            intervalo += seconds(5); // RFC 8628, 3.5
            continue;
        }
        if (error == "access_denied") {
            throw ErrorSesion("Se rechazó el inicio de sesión en " + codigo.urlVerificacion, false);
        }
        if (error == "expired_token") {
            break;
        }
        return tokensDe(c, cuerpo, reloj);
    }
    throw ErrorSesion("El código " + codigo.codigoUsuario +
                          " ha caducado sin que se completara el inicio de sesión; vuelva a "
                          "empezar",
                      false);
}

} // namespace envio
