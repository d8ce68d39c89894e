#pragma once

#include "platform/MotorBaseDatos.h"

#include <filesystem>
#include <functional>
#include <optional>

namespace envio {

// Jet 3 and Jet 4 files (the suite's Access databases), read only. libmdb crashes or loops on
// some damaged files, and a damaged suite database must not bring the program down, so every
// read runs in a separate process with a time limit and the rows come back through a pipe. The
// process is the small reader program `envio-lector-jet`, started afresh; where it cannot be
// found, a fork of this process does the read instead (safe only while no other thread may hold
// a lock, which is why the reader program is preferred).
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
    TablaLeida leerAislado(const std::vector<std::string>& argumentos) const;
    [[noreturn]] void soloLectura() const;

    std::filesystem::path archivo_;
    std::vector<std::string> tablas_; // the catalogue does not change while the file is open
};

// The reader program's work: with only the file, the table list; with a table (and fields), its
// rows. Returns the answer bytes that go back to the program.
std::string responderLecturaJet(const std::vector<std::string>& argumentos);

// Where the reader program is: $ENVIO_LECTOR_JET, beside this executable, the installed
// program's folder, or the build tree's; nothing when none exists.
std::optional<std::filesystem::path> ubicarLectorJet();

} // namespace envio
