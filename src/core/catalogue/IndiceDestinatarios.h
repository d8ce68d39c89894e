#pragma once

#include "host/ContextoAnfitrion.h"
#include "platform/FileSystem.h"

#include <filesystem>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace envio {

// The suite's recipients, read once from their tables and kept in memory while the database
// files do not change: a month of documents would otherwise cost two queries per file on the
// suite's Access database, on every keystroke of the search box.
class IndiceDestinatarios {
public:
    explicit IndiceDestinatarios(const ContextoAnfitrion& contexto);

    // Reads what the mode needs, unless its database file is unchanged since the last read (a
    // fill runs it beside its folder listing). The look-ups below answer from what it read: they
    // run once per file of a month, and a stat each would cost more than the look-up.
    void cargar(Modo modo);

    // A client's `nombre` by `IDCLIENTE` (the first row of that number), or nothing.
    [[nodiscard]] const std::string* cliente(long long codigo) const;
    // The client's address: among its "E" rows of CLITELEFONOS, the `numero` of the first row
    // with a non-zero `Prioridad`, else of the last row; empty without rows.
    [[nodiscard]] const std::string& direccionCliente(long long codigo) const;
    // An employee's `nombre` by `codigo`.
    [[nodiscard]] const std::string* empleado(long long codigo) const;
    // The address that the alternative table holds for a tax number (text equality without
    // regard to case), or nothing when there is no such row or no alternative source.
    [[nodiscard]] const std::string* direccionAlternativa(const std::string& nif) const;

private:
    void cargarClientes();
    void cargarEmpleados();
    void cargarAlternativa();

    const ContextoAnfitrion& contexto_;
    std::optional<fs::Stamp> marcaClientes_;
    std::optional<fs::Stamp> marcaEmpleados_;
    std::optional<fs::Stamp> marcaAlternativa_;
    std::unordered_map<long long, std::string> clientes_;
    std::unordered_map<long long, std::string> direcciones_;
    std::unordered_map<long long, std::string> empleados_;
    std::unordered_map<std::string, std::string> alternativas_; // key: tax number in capitals
};

} // namespace envio
