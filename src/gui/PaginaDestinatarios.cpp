#include "gui/PaginaDestinatarios.h"

#include "gui/Arte.h"
#include "gui/ModeloDestinatarios.h"
#include "gui/Twips.h"
#include "mass/ListaDestinatarios.h"
#include "mass/MenuLista.h"

#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace envio::gui {

VistaDestinatarios::VistaDestinatarios(QWidget* parent) : QTreeView(parent) {
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setContextMenuPolicy(Qt::NoContextMenu);
}

void VistaDestinatarios::mouseReleaseEvent(QMouseEvent* event) {
    QTreeView::mouseReleaseEvent(event);
    if (event->button() == Qt::RightButton) {
        emit botonDerechoSoltado(viewport()->mapTo(this, event->position().toPoint()));
    }
}

PaginaDestinatarios::PaginaDestinatarios(QWidget* parent) : QWidget(parent) {
    auto* columna = new QVBoxLayout(this);
    auto* label9 = new QLabel(QStringLiteral("Clientes con e-mail"));
    label9->setObjectName(QStringLiteral("Label9"));
    label9->setFont(arte::fuente(9, true));
    columna->addWidget(label9);
    lv_ = new VistaDestinatarios;
    lv_->setObjectName(QStringLiteral("Lv"));
    modelo_ = new ModeloDestinatarios(lista_, this);
    lv_->setModel(modelo_);
    lv_->header()->setSectionsClickable(true);
    lv_->header()->setSortIndicatorShown(false);
    lv_->setColumnWidth(0, aPixeles(3600, this));
    columna->addWidget(lv_);

    menu_ = new QMenu(this);
    menu_->setObjectName(QStringLiteral("Menu"));
    for (const auto& [nombre, texto, modo] :
         {std::tuple{"MnuTodos", "Marcar todos", "TODO"},
          std::tuple{"MnuNinguno", "Desmarcar todos", "NADA"},
          std::tuple{"MnuInvertir", "Invertir selección", "INVERTIR"}}) {
        QAction* accion = menu_->addAction(QString::fromUtf8(texto));
        accion->setObjectName(QLatin1String(nombre));
        connect(accion, &QAction::triggered, this, [this, m = modo] { seleccion(m); });
    }

    connect(lv_->header(), &QHeaderView::sectionClicked, this,
            &PaginaDestinatarios::clicEnCabecera);
    connect(lv_, &VistaDestinatarios::botonDerechoSoltado, this, [this](const QPoint& enLista) {
        menu_->popup(window()->mapToGlobal(puntoMenu(enLista)));
    });
}

PaginaDestinatarios::~PaginaDestinatarios() {
    // The view and its model read the list, which goes before the base class's children do.
    delete lv_;
    delete modelo_;
}

void PaginaDestinatarios::mostrarLista() {
    modelo_->recargar();
}

QPoint PaginaDestinatarios::puntoMenu(const QPoint& enLista) const {
    // The page's real origin stands in for the designed one, so the menu opens at the pointer.
    const QPoint pagina = mapTo(window(), QPoint(0, 0));
    const masivo::PuntoTwips p =
        masivo::puntoMenuLista({aTwips(lv_->x(), this), aTwips(lv_->y(), this)},
                               {aTwips(enLista.x(), this), aTwips(enLista.y(), this)},
                               {aTwips(pagina.x(), this), aTwips(pagina.y(), this)});
    return {aPixeles(p.x, this), aPixeles(p.y, this)};
}

void PaginaDestinatarios::seleccion(const char* modo) {
    masivo::Seleccion(lista_, modo);
    modelo_->recargar();
}

void PaginaDestinatarios::clicEnCabecera(int columna) {
    lista_.clicEnCabecera(columna);
    lv_->header()->setSortIndicatorShown(true);
    lv_->header()->setSortIndicator(columna, lista_.descendente() ? Qt::DescendingOrder
                                                                  : Qt::AscendingOrder);
    modelo_->recargar();
}

} // namespace envio::gui
