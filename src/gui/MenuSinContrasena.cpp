#include "gui/MenuSinContrasena.h"

#include "catalogue/PantallaPrincipal.h"
#include "gui/FrmPrincipal.h"
#include "revision/Nif.h"
#include "revision/SinContrasena.h"

#include <QAction>
#include <QMenu>

namespace envio::gui {
namespace {

// The NIF of the row the user last selected, as its file name carries it.
std::string nifActual(FrmPrincipal& ventana) {
    const ListaVista& lista = ventana.pantalla().lista();
    const auto actual = lista.actual();
    if (!actual || *actual >= lista.cantidad()) {
        return {};
    }
    return nifDelDocumento(lista.fila(*actual).etiqueta);
}

} // namespace

void anadirMenuSinContrasena(QMenu& menu, FrmPrincipal& ventana) {
    menu.addSeparator();
    QAction* accion = menu.addAction(QStringLiteral("Enviar sin contraseña a este trabajador"));
    accion->setObjectName(QStringLiteral("mnuSinContrasena"));
    accion->setCheckable(true);
    FrmPrincipal* v = &ventana;
    const auto archivo = ListaSinContrasena::archivoEn(ventana.pantalla().contexto().carpeta);
    QObject::connect(&menu, &QMenu::aboutToShow, accion, [v, accion, archivo] {
        const std::string nif = nifActual(*v);
        accion->setEnabled(!nif.empty());
        accion->setChecked(!nif.empty() && ListaSinContrasena(archivo).contiene(nif));
    });
    QObject::connect(accion, &QAction::triggered, v, [v, archivo](bool sinContrasena) {
        const std::string nif = nifActual(*v);
        if (nif.empty()) {
            return;
        }
        try {
            ListaSinContrasena lista(archivo);
            sinContrasena ? lista.anadir(nif) : lista.quitar(nif);
        } catch (const std::runtime_error& error) {
            v->dialogos().mostrar({std::string("No se pudo guardar la lista de trabajadores sin "
                                               "contraseña: ") +
                                       error.what(),
                                   "Aviso", Icono::Critico, Botones::Aceptar});
        }
    });
}

} // namespace envio::gui
