#include "catalogue/PantallaPrincipal.h"

#include "catalogue/AccionesDocumento.h"
#include "catalogue/Seleccion.h"

#include <stdexcept>

namespace envio {
namespace {

constexpr int kColumnaPeriodo = 2;
constexpr int kColumnaClaveFecha = 5;

} // namespace

PantallaPrincipal::PantallaPrincipal(ContextoAnfitrion contexto, Dialogos& dialogos, Shell& shell)
    : contexto_(std::make_unique<ContextoAnfitrion>(std::move(contexto))), dialogos_(dialogos),
      shell_(shell), catalogo_(*contexto_) {
    seleccion_.tipo =
        contexto_->tipos.empty() ? std::string(kTipoFacturas) : contexto_->tipos.front();
    seleccion_.anio = contexto_->anios.front();
    seleccion_.mes = contexto_->mesActual;
}

void PantallaPrincipal::iniciar() {
    indiceAnio_ = 0;
    seleccion_.anio = contexto_->anios.front();
    seleccion_.mes = contexto_->mesActual;
    seleccion_.busqueda.clear();
    ActualizarLista();
}

void PantallaPrincipal::elegirTipo(const std::string& tipo) {
    seleccion_.tipo = tipo;
    ActualizarLista();
}

void PantallaPrincipal::elegirAnio(int indice) {
    if (indice < 0 || indice >= static_cast<int>(contexto_->anios.size())) {
        return;
    }
    indiceAnio_ = indice;
    seleccion_.anio = contexto_->anios[static_cast<std::size_t>(indice)];
    seleccion_.busqueda.clear();
    ActualizarLista();
}

void PantallaPrincipal::elegirMes(int mes) {
    if (mes < 1 || mes > kMesTodos) {
        return;
    }
    seleccion_.mes = mes;
    seleccion_.busqueda.clear();
    ActualizarLista();
}

void PantallaPrincipal::cambiarBusqueda(const std::string& texto) {
    seleccion_.busqueda = texto;
    // Typing cannot mend tables that could not be read: the user was told once, and a box at
    // every keystroke would only stand in the way. The next tab or type reads them again.
    if (lecturaFallida_) {
        return;
    }
    rellenar(); // a keystroke narrows the rows already built
}

void PantallaPrincipal::ActualizarLista() {
    catalogo_.releerCarpeta();
    rellenar();
}

void PantallaPrincipal::rellenar() {
    lecturaFallida_ = false;
    try {
        etiquetas_ = catalogo_.ActualizarLista(seleccion_, lista_);
    } catch (const std::exception& e) {
        lecturaFallida_ = true;
        // The suite's tables could not be read: an empty list says so better than stale rows.
        lista_.limpiar();
        etiquetas_.detalle = "Documentos";
        etiquetas_.cuenta = "Nº de documentos:  0";
        etiquetas_.seleccionados = "Documentos seleccionadas: 0";
        dialogos_.mostrar({std::string("No se pudo leer la lista de documentos: ") + e.what(),
                           "Aviso", Icono::Critico, Botones::Aceptar});
    }
}

void PantallaPrincipal::clicEnLista() {
    etiquetas_.seleccionados = textoSeleccionadosRaton(lista_);
}

void PantallaPrincipal::teclaEnLista() {
    etiquetas_.seleccionados = textoSeleccionadosTeclado(lista_);
}

void PantallaPrincipal::clicEnCabecera(int columna) {
    cabeceraOrden_ = columna;
    // Invoice dates read DD/MM/YYYY, which do not sort as text; their hidden YYYYMMDD column does.
    const bool fechaFactura = columna == kColumnaPeriodo && seleccion_.tipo == kTipoFacturas;
    lista_.clicEnCabecera(fechaFactura ? kColumnaClaveFecha : columna);
}

Efecto PantallaPrincipal::ejecutar(Accion accion) {
    if (const auto modo = modoSeleccion(accion)) {
        etiquetas_.seleccionados = Seleccionar(lista_, *modo);
        return Efecto::FilasCambiadas;
    }
    switch (accion) {
    case Accion::Enviar:
        return Efecto::Enviar;
    case Accion::ConfigurarMensaje:
        return Efecto::ConfigurarMensaje;
    case Accion::MensajesMasivos:
        return Efecto::MensajesMasivos;
    case Accion::ConfigurarServidor:
        return Efecto::ConfigurarServidor;
    case Accion::Historial:
        return Efecto::Historial;
    case Accion::Salir:
        return Efecto::Salir;
    case Accion::Eliminar:
        if (!EliminarDocumentos(lista_, dialogos_)) {
            return Efecto::Ninguno;
        }
        ActualizarLista();
        return Efecto::ListaRecargada;
    case Accion::Ver:
        VerDocumento(lista_, shell_, contexto_->carpeta.ruta(), dialogos_);
        return Efecto::Ninguno;
    case Accion::MarcarPendiente:
        MarcarDocumento(lista_, "PENDIENTE", dialogos_);
        return Efecto::FilasCambiadas;
    case Accion::MarcarEnviado:
        MarcarDocumento(lista_, "ENVIADO", dialogos_);
        return Efecto::FilasCambiadas;
    default:
        return Efecto::Ninguno;
    }
}

} // namespace envio
