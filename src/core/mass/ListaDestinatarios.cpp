#include "mass/ListaDestinatarios.h"

#include "catalogue/DireccionesClientes.h"
#include "catalogue/TextosNumericos.h"
#include "database/Texto.h"

namespace envio::masivo {

Fuente fuenteParaTipo(std::string_view tipoElegido) {
    return tipoElegido == kTipoFacturas ? Fuente::Clientes : Fuente::Alternativa;
}

bool coincideGrupo(const std::optional<std::string>& grupo, std::string_view filtro) {
    const std::string f = sinBlancos(filtro);
    return !f.empty() && grupo && grupo->find(f) != std::string::npos;
}

ListaDestinatarios::ListaDestinatarios(const ContextoAnfitrion& contexto) : contexto_(contexto) {}

void ListaDestinatarios::cargarClientes() {
    if (!contexto_.dbPrincipal) {
        clientes_.clear();
        marcaClientes_.reset();
        return;
    }
    const fs::Stamp marca = fs::stampOf(contexto_.dbPrincipal->ruta());
    if (marcaClientes_ == marca) {
        return;
    }
    clientes_.clear();
    marcaClientes_.reset();

    // One pass over the e-mail rows instead of one query per client.
    const auto direcciones = leerDireccionesClientes(*contexto_.dbPrincipal);
    Registros clientes = contexto_.dbPrincipal->abrirRegistros(
        "SELECT IDCLIENTE, nombre, Grupo FROM CLIENTES WHERE CESE IS NULL ORDER BY IDCLIENTE");
    for (clientes.primero(); !clientes.fin(); clientes.siguiente()) {
        const auto id = clientes.campo(0).comoEntero();
        if (!id) {
            continue;
        }
        const auto e = direcciones.find(*id);
        if (e == direcciones.end()) {
            continue; // no e-mail row at all: nobody to write to
        }
        ClienteConCorreo c;
        c.texto = conCeros(*id, 5) + " " + clientes.campo(1).comoTexto();
        if (!clientes.campo(2).esNulo()) {
            c.grupo = clientes.campo(2).comoTexto();
        }
        c.direccion = e->second;
        clientes_.push_back(std::move(c));
    }
    marcaClientes_ = marca;
}

const std::vector<ClienteConCorreo>& ListaDestinatarios::clientes() {
    cargarClientes();
    return clientes_;
}

void ListaDestinatarios::LlenarLvClientes(ListaVista& lv, const std::string& filtro) {
    lv.limpiar();
    for (const auto& c : clientes()) {
        FilaLista& fila = lv.agregar(c.texto);
        fila.subitems[0] = c.direccion;
        fila.marcada = coincideGrupo(c.grupo, filtro);
    }
    lv.ordenar();
}

void ListaDestinatarios::LlenarLvAlternativo(ListaVista& lv) {
    lv.limpiar();
    if (!contexto_.dbAlternativa) {
        return;
    }
    const auto& a = contexto_.alternativo;
    // The configured names are the only SQL text that comes from outside; they go in brackets.
    Registros filas =
        contexto_.dbAlternativa->abrirRegistros("SELECT * FROM [" + a.tablaOrigen + "]");
    const std::string& campoNombre = sinBlancos(a.nombreCampo).empty() ? a.nifCampo : a.nombreCampo;
    for (filas.primero(); !filas.fin(); filas.siguiente()) {
        FilaLista& fila = lv.agregar(filas.campo(sinBlancos(campoNombre)).comoTexto());
        fila.subitems[0] = filas.campo(sinBlancos(a.emailCampo)).comoTexto();
    }
    lv.ordenar();
}

void Seleccion(ListaVista& lv, std::string_view strSeleccion) {
    const std::size_t n = lv.cantidad();
    for (std::size_t i = 0; i < n; ++i) {
        FilaLista& fila = lv.fila(i);
        if (strSeleccion == "TODO") {
            fila.marcada = true;
        } else if (strSeleccion == "NADA") {
            fila.marcada = false;
        } else if (strSeleccion == "INVERTIR") {
            fila.marcada = !fila.marcada;
        }
    }
}

} // namespace envio::masivo
