#pragma once

#include "platform/MotorBaseDatos.h"

#include <filesystem>
#include <memory>

namespace envio {

// Jet 3 and Jet 4 files (the suite's Access databases), read only, through mdbtools' libmdb.
// Values never depend on the process locale: numbers and dates are decoded from the row bytes,
// only texts go through libmdb's own conversion to UTF-8.
class MotorJet : public MotorBaseDatos {
public:
    // Throws ErrorBaseDatos when libmdb cannot open the file or read its catalogue.
    explicit MotorJet(const std::filesystem::path& archivo);
    ~MotorJet() override;
    MotorJet(const MotorJet&) = delete;
    MotorJet& operator=(const MotorJet&) = delete;

    std::vector<std::string> tablas() override;
    TablaLeida leerTabla(std::string_view tabla, const std::vector<std::string>& campos) override;
    void borrarTodo(std::string_view tabla) override;
    void agregarRegistro(std::string_view tabla,
                         const std::vector<std::pair<std::string, Valor>>& campos) override;
    void crearTabla(const DefinicionTabla& definicion) override;

private:
    struct Estado;
    [[noreturn]] void soloLectura() const;
    std::filesystem::path archivo_;
    std::unique_ptr<Estado> estado_;
};

} // namespace envio
