#pragma once

#include "platform/MotorBaseDatos.h"

#include <filesystem>
#include <memory>

namespace envio {

// Reads Jet 3 and Jet 4 files (the suite's Access databases) in this process through mdbtools'
// libmdb. Values never depend on the process locale: numbers and dates are decoded from the row
// bytes, only texts go through libmdb's own conversion to UTF-8. libmdb can crash or loop on a
// damaged file, so the program only uses this inside a child process (MotorJet).
class LectorJet {
public:
    // Throws ErrorBaseDatos when libmdb cannot open the file or read its catalogue.
    explicit LectorJet(const std::filesystem::path& archivo);
    ~LectorJet();
    LectorJet(const LectorJet&) = delete;
    LectorJet& operator=(const LectorJet&) = delete;

    std::vector<std::string> tablas();
    TablaLeida leerTabla(std::string_view tabla, const std::vector<std::string>& campos);

private:
    struct Estado;
    std::filesystem::path archivo_;
    std::unique_ptr<Estado> estado_;
};

} // namespace envio
