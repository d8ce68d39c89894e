#pragma once

#include "platform/MotorBaseDatos.h"

#include <filesystem>
#include <functional>

namespace envio {

// Jet 3 and Jet 4 files (the suite's Access databases), read only. libmdb crashes or loops on
// some damaged files, and a damaged suite database must not bring the program down, so every
// read runs in a child process with a time limit and the rows come back through a pipe.
class MotorJet : public MotorBaseDatos {
public:
    // Reads the catalogue; throws ErrorBaseDatos naming the file when it cannot.
    explicit MotorJet(const std::filesystem::path& archivo);

    std::vector<std::string> tablas() override;
    TablaLeida leerTabla(std::string_view tabla, const std::vector<std::string>& campos) override;
    void borrarTodo(std::string_view tabla) override;
    void agregarRegistro(std::string_view tabla,
                         const std::vector<std::pair<std::string, Valor>>& campos) override;
    void crearTabla(const DefinicionTabla& definicion) override;

private:
    TablaLeida leerAislado(const std::function<TablaLeida()>& lectura) const;
    [[noreturn]] void soloLectura() const;

    std::filesystem::path archivo_;
    std::vector<std::string> tablas_; // the catalogue does not change while the file is open
};

} // namespace envio
