#pragma once

#include "host/CarpetaPrograma.h"

#include <filesystem>
#include <set>
#include <string>
#include <string_view>

namespace envio {

// The employees whose payslips go out without a password, although protection is on: one NIF
// per line in a file of the program folder. That folder is the one every machine of the office
// shares with KRN.INI, so a scheduled run on any machine honours what a person set on another;
// it is never written into the suite's databases. Each change reads the file again and writes
// it back in place (as KRN.INI is), so a share's locks are not needed.
class ListaSinContrasena {
public:
    explicit ListaSinContrasena(std::filesystem::path archivo);
    static std::filesystem::path archivoEn(const CarpetaPrograma& carpeta);

    // The NIFs as stored, normalised (upper case, no blanks or hyphens); a missing file is an
    // empty list.
    [[nodiscard]] std::set<std::string> leer() const;
    [[nodiscard]] bool contiene(std::string_view nif) const;
    // Throw std::runtime_error with the user's words when the file cannot be written.
    void anadir(std::string_view nif);
    void quitar(std::string_view nif);

private:
    void escribir(const std::set<std::string>& nifs);

    std::filesystem::path archivo_;
};

// `nif` as the list keeps it: upper case, without blanks or hyphens.
std::string nifParaLista(std::string_view nif);

} // namespace envio
