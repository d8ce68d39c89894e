#pragma once

#include "host/MapaUnidades.h"

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace envio::cli {

enum class Orden {
    Ventana,
    Ayuda,
    Version,
    Listar,
    Enviar,
    Revisar,
    Avisos,
    Historial,
    IniciarSesion
};

struct Opciones {
    Orden orden = Orden::Ventana;
    std::optional<std::filesystem::path> carpeta;
    std::optional<int> anio;
    std::optional<int> mes; // 1..12, or 13 for TODOS
    std::optional<std::string> tipo;
    std::string filtro;
    std::string seleccion;      // --enviar, --revisar: todo, email or pendiente
    bool reenviar = false;      // --enviar: answer Yes when asked to send again
    bool omitirDudosos = false; // --enviar: send the rest, leave possibly-sent ones for a person
    std::optional<std::filesystem::path> informe; // --enviar: the report as a PDF file
    std::optional<std::string> grupo;             // --avisos: the group filter of the client list
    std::string desde;                            // --historial: AAAA-MM-DD
    std::string hasta;                            // --historial: AAAA-MM-DD
    std::string resultado;                        // --historial: enviado, rechazado or dudoso
    bool conCodigo = false; // --iniciar-sesion: with a code on another device, not the browser
    MapaUnidades unidades;  // --unidad, for the Windows paths of KRN.INI
};

// A mistake on the command line, worded for the user.
class ErrorDeOpciones : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// `argumentos` excludes the program name. Throws ErrorDeOpciones.
Opciones analizarLineaDeOrdenes(const std::vector<std::string>& argumentos);

std::string textoAyuda();
std::string textoVersion();

} // namespace envio::cli
