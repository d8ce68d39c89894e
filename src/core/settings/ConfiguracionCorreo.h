#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace envio {

// The mail settings that every sending run and the report use. Windows and runs receive one
// copy; it is loaded at start-up and again whenever a template window saves.
struct ConfiguracionCorreo {
    std::string servidor;
    int puerto = 0; // 0 also stands for a stored port that is not a number or is out of range
    bool ssl = false;
    std::string cuenta;
    std::string usuario;
    std::string password; // unscrambled
    std::string asunto;
    std::string mensaje; // decoded, with its line breaks
    std::string confirmacionLeido;
    // The account's sending limits ([servidor] LimitePorMinuto, LimitePorDia); 0 is none.
    int limitePorMinuto = 0;
    int limitePorDia = 0;
    // Payroll: each document goes out as a copy that opens with its employee's NIF, and the
    // message ends with a line that says so.
    bool protegerConNif = false;
    std::string lineaProteccion;
    // The largest document the user wants mailed, in KB; 0 for no limit of our own.
    std::uintmax_t tamanoMaximoKb = 0;

    // The stored read-receipt text counts as on when its number is not 0.
    [[nodiscard]] bool pideConfirmacionLeido() const;
};

inline constexpr std::string_view kLineaProteccionPorDefecto =
    "El documento adjunto está protegido. La contraseña es su NIF, con la letra en mayúscula.";

// Reads the mail settings from the settings file `krn` (a missing file gives an empty server,
// port 25, SSL off and empty texts).
ConfiguracionCorreo CargarConfiguracion(const std::filesystem::path& krn);

// The stored port text as a port: its leading number rounded half to even; 0 when that is not
// a TCP port (the suite kept ports in a 16-bit integer; real ports reach 65535).
int puertoDesdeTexto(const std::string& texto);

// A stored sending limit as a count: its leading whole number; 0 (no limit) for anything else.
int limiteDesdeTexto(const std::string& texto);

} // namespace envio
