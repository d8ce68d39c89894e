#include "gui/DespachoComandos.h"

#include "catalogue/AccionesDocumento.h"
#include "gui/EnlacesComando.h"
#include "gui/TextoQt.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

namespace envio::gui {
DespachoComandos::DespachoComandos(PantallaPrincipal& pantalla, Dialogos& dialogos,
                                   GrupoEnlaces& enlaces, QWidget* ventana)
    : pantalla_(pantalla), dialogos_(dialogos), enlaces_(enlaces), ventana_(ventana) {
    construirMenu(ventana);
    connect(&enlaces_, &GrupoEnlaces::pulsado, this, &DespachoComandos::ejecutarEnlace);
}

DespachoComandos::~DespachoComandos() {
    if (borrado_.joinable()) {
        borrado_.join();
    }
}

void DespachoComandos::construirMenu(QWidget* ventana) {
    mnuCabeza_ = new QMenu(QStringLiteral("Menu"), ventana);
    mnuCabeza_->setObjectName(QStringLiteral("MnuCabeza"));
    for (const auto& entrada : menuContextual()) {
        QAction* accion = entrada.accion == Accion::Separador
                              ? mnuCabeza_->addSeparator()
                              : mnuCabeza_->addAction(q(entrada.titulo));
        accion->setObjectName(q(entrada.nombre));
        if (entrada.accion != Accion::Separador) {
            const Accion a = entrada.accion;
            connect(accion, &QAction::triggered, this, [this, a] { ejecutar(a); });
            accionesMenu_.emplace_back(accion, a);
        }
    }
}

void DespachoComandos::ejecutarEnlace(int indice) {
    for (const auto& enlace : enlacesComando()) {
        if (enlace.indice == indice) {
            ejecutar(enlace.accion);
            return;
        }
    }
}

void DespachoComandos::ejecutar(Accion accion) {
    if (trabajando() && !permitidaDuranteUnTrabajo(accion)) {
        return;
    }
    if (accion == Accion::Eliminar) {
        eliminarEnSegundoPlano();
        return;
    }
    const Efecto hecho = pantalla_.ejecutar(accion);
    if (hecho != Efecto::Ninguno) {
        emit efecto(hecho);
    }
}

void DespachoComandos::eliminarEnSegundoPlano() {
    if (borrado_.joinable()) {
        return; // one deletion at a time
    }
    ventana_->setCursor(Qt::BusyCursor);
    borrado_ = std::thread([this, filas = pantalla_.lista()] {
        const bool recargar = EliminarDocumentos(filas, dialogos_);
        QMetaObject::invokeMethod(
            this, [this, recargar] { borradoTerminado(recargar); }, Qt::QueuedConnection);
    });
    actualizarComandos();
}

void DespachoComandos::borradoTerminado(bool recargar) {
    borrado_.join();
    actualizarComandos();
    ventana_->unsetCursor();
    if (cerrarTrasBorrado_) {
        emit efecto(Efecto::Salir);
        return;
    }
    if (recargar) {
        pantalla_.ActualizarLista();
        emit efecto(Efecto::ListaRecargada);
    }
}

bool DespachoComandos::aplazarCierre() {
    cerrarTrasBorrado_ = borrado_.joinable();
    return cerrarTrasBorrado_;
}

void DespachoComandos::envioEnCurso(bool enCurso) {
    envioEnCurso_ = enCurso;
    actualizarComandos();
}

void DespachoComandos::actualizarComandos() {
    const bool libre = !trabajando();
    for (auto* enlace : enlaces_.enlaces()) {
        const Accion accion = enlacesComando()[static_cast<std::size_t>(enlace->indice())].accion;
        enlace->setEnabled(libre || permitidaDuranteUnTrabajo(accion));
    }
    for (const auto& [accion, cual] : accionesMenu_) {
        accion->setEnabled(libre || permitidaDuranteUnTrabajo(cual));
    }
}

} // namespace envio::gui
