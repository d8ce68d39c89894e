#include "catalogue/IndiceDestinatarios.h"

#include "catalogue/DireccionesClientes.h"
#include "database/Texto.h"

#include <future>

namespace envio {

IndiceDestinatarios::IndiceDestinatarios(const ContextoAnfitrion& contexto) : contexto_(contexto) {}

void IndiceDestinatarios::cargarClientes() {
    const fs::Stamp marca = fs::stampOf(contexto_.dbPrincipal->ruta());
    if (marcaClientes_ == marca) {
        return;
    }
    clientes_.clear();
    direcciones_.clear();
    // The two tables are read side by side, each by a reader process of its own (the fork
    // stand-in, used only when the reader program is missing, takes them in turn).
    auto direccionesLeidas = std::async(
        std::launch::async, [this] { return leerDireccionesClientes(*contexto_.dbPrincipal); });
    Registros clientes =
        contexto_.dbPrincipal->abrirRegistros("SELECT IDCLIENTE, nombre FROM CLIENTES");
    for (clientes.primero(); !clientes.fin(); clientes.siguiente()) {
        if (const auto id = clientes.campo(0).comoEntero()) {
            clientes_.try_emplace(*id, clientes.campo(1).comoTexto());
        }
    }
    direcciones_ = direccionesLeidas.get();
    marcaClientes_ = marca;
}

void IndiceDestinatarios::cargarEmpleados() {
    const fs::Stamp marca = fs::stampOf(contexto_.dbPrincipal->ruta());
    if (marcaEmpleados_ == marca) {
        return;
    }
    empleados_.clear();
    Registros filas =
        contexto_.dbPrincipal->abrirRegistros("SELECT codigo, nombre FROM campos_ex_tra");
    for (filas.primero(); !filas.fin(); filas.siguiente()) {
        if (const auto codigo = filas.campo(0).comoEntero()) {
            empleados_.try_emplace(*codigo, filas.campo(1).comoTexto());
        }
    }
    marcaEmpleados_ = marca;
}

void IndiceDestinatarios::cargarAlternativa() {
    const fs::Stamp marca = fs::stampOf(contexto_.dbAlternativa->ruta());
    if (marcaAlternativa_ == marca) {
        return;
    }
    alternativas_.clear();
    const auto& a = contexto_.alternativo;
    // The configured names are the only SQL text that comes from outside; they go in brackets,
    // and the tax numbers of the file names never enter a query at all.
    Registros filas = contexto_.dbAlternativa->abrirRegistros(
        "SELECT [" + a.nifCampo + "], [" + a.emailCampo + "] FROM [" + a.tablaOrigen + "]");
    for (filas.primero(); !filas.fin(); filas.siguiente()) {
        if (!filas.campo(0).esNulo()) {
            alternativas_.try_emplace(mayusculas(filas.campo(0).comoTexto()),
                                      filas.campo(1).comoTexto());
        }
    }
    marcaAlternativa_ = marca;
}

void IndiceDestinatarios::cargar(Modo modo) {
    if (modo == Modo::Facturas) {
        cargarClientes();
        return;
    }
    cargarEmpleados();
    if (contexto_.dbAlternativa) {
        cargarAlternativa();
    }
}

const std::string* IndiceDestinatarios::cliente(long long codigo) const {
    const auto it = clientes_.find(codigo);
    return it == clientes_.end() ? nullptr : &it->second;
}

const std::string& IndiceDestinatarios::direccionCliente(long long codigo) const {
    static const std::string sinDireccion;
    const auto it = direcciones_.find(codigo);
    return it == direcciones_.end() ? sinDireccion : it->second;
}

const std::string* IndiceDestinatarios::empleado(long long codigo) const {
    const auto it = empleados_.find(codigo);
    return it == empleados_.end() ? nullptr : &it->second;
}

const std::string* IndiceDestinatarios::direccionAlternativa(const std::string& nif) const {
    const auto it = alternativas_.find(mayusculas(nif));
    return it == alternativas_.end() ? nullptr : &it->second;
}

} // namespace envio
