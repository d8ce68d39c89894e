#pragma once

#include "oauth/ConfiguracionOAuth.h"
#include "platform/HttpClient.h"
#include "platform/Reloj.h"
#include "platform/SecretStore.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>

namespace envio {

// A sign-in that did not work or no longer works, in words the user can act on.
class ErrorSesion : public std::runtime_error {
public:
    // `volverAIniciar`: only a new sign-in helps (revoked, expired, never signed in); otherwise
    // the provider could not be reached and a later try may work.
    ErrorSesion(const std::string& texto, bool volverAIniciar)
        : std::runtime_error(texto), volverAIniciar_(volverAIniciar) {}
    [[nodiscard]] bool volverAIniciar() const { return volverAIniciar_; }

private:
    bool volverAIniciar_;
};

// What the token endpoint answered to a sign-in or a refresh.
struct TokensOAuth {
    std::string acceso;
    std::string renovacion; // may be empty on a refresh: the old one still holds
    std::chrono::system_clock::time_point caducaAcceso;
};

// "Vuelva a iniciar sesión con la cuenta …", with why and how.
std::string textoVolverAIniciar(const std::string& cuenta, const std::string& motivo);

// PKCE (RFC 7636): a fresh verifier and its S256 challenge.
struct Pkce {
    std::string verificador;
    std::string desafio;
};
Pkce crearPkce();
std::string desafioS256(const std::string& verificador);
// A random value for `state`, base64url.
std::string valorAleatorio(std::size_t bytes = 32);

// The access token of one account's sign-in: kept in memory until shortly before it expires,
// then renewed with the refresh token from the secret store, without asking anyone. Safe to
// use from the threads of several runs at once.
class SesionOAuth {
public:
    // All three must outlive this object.
    SesionOAuth(ConfiguracionOAuth configuracion, HttpClient& http, SecretStore& almacen,
                const Reloj& reloj);

    // A token good for at least a minute more. Throws ErrorSesion.
    std::string tokenAcceso();
    // The server refused the token in hand: the next call renews it.
    void descartarTokenAcceso();
    // Keeps the result of a sign-in: the refresh token in the store, the access token here.
    void guardar(const TokensOAuth& tokens);
    // Whether the store holds a sign-in for this account.
    bool haySesionGuardada();

    [[nodiscard]] const ConfiguracionOAuth& configuracion() const { return configuracion_; }

private:
    TokensOAuth renovar(const std::string& renovacion);

    ConfiguracionOAuth configuracion_;
    HttpClient& http_;
    SecretStore& almacen_;
    const Reloj& reloj_;
    std::mutex mutex_;
    std::optional<TokensOAuth> actual_;
};

// The browser sign-in: authorization code with PKCE and a loopback redirect (RFC 8252).
struct InicioEnNavegador {
    // Opens the system browser at the URL; false when it cannot.
    std::function<bool(const std::string& url)> abrirNavegador;
    std::chrono::milliseconds espera = std::chrono::minutes(5);
    const std::atomic<bool>* cancelar = nullptr;
};
TokensOAuth iniciarSesionEnNavegador(const ConfiguracionOAuth& configuracion, HttpClient& http,
                                     const Reloj& reloj, const InicioEnNavegador& inicio);

// What the user must do on another device (RFC 8628).
struct CodigoDispositivo {
    std::string codigoUsuario;
    std::string urlVerificacion;
    std::string urlCompleta; // with the code in it, when the provider gives one
    std::chrono::seconds caduca{0};
};
struct InicioConDispositivo {
    std::function<void(const CodigoDispositivo&)> mostrarCodigo;
    // Waits between two polls; tests pass one that does not sleep.
    std::function<void(std::chrono::seconds)> esperar;
    const std::atomic<bool>* cancelar = nullptr;
};
TokensOAuth iniciarSesionConDispositivo(const ConfiguracionOAuth& configuracion, HttpClient& http,
                                        const Reloj& reloj, const InicioConDispositivo& inicio);

} // namespace envio
