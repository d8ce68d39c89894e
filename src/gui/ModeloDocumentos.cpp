#include "gui/ModeloDocumentos.h"

#include "gui/Arte.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QToolTip>

namespace envio::gui {
namespace {

QString texto(const std::string& s) {
    return QString::fromStdString(s);
}

// The suite's colours keep red in the low byte.
QColor colorDeLaSuite(std::uint32_t bgr) {
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

Qt::Alignment alineacion(int columna) {
    switch (columna) {
    case 2:
    case 3:
        return Qt::AlignCenter;
    case 4:
        return Qt::AlignRight | Qt::AlignVCenter;
    default:
        return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

} // namespace

ModeloDocumentos::ModeloDocumentos(ListaVista& lista, QObject* parent)
    : QAbstractTableModel(parent), lista_(lista) {}

bool ModeloDocumentos::valido(const QModelIndex& index) const {
    return index.isValid() && index.model() == this && index.row() < rowCount() &&
           index.column() < kColumnas;
}

const QStringList& ModeloDocumentos::titulos() {
    static const QStringList t = {QStringLiteral("Destinatario"), QStringLiteral("Email"),
                                  QStringLiteral("Periodo"),      QStringLiteral("Documento"),
                                  QStringLiteral("Tamaño"),       QStringLiteral("YYYYMMDD")};
    return t;
}

int ModeloDocumentos::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(lista_.cantidad());
}

int ModeloDocumentos::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnas;
}

QVariant ModeloDocumentos::data(const QModelIndex& index, int role) const {
    if (!valido(index)) {
        return {};
    }
    const FilaLista& fila = lista_.fila(static_cast<std::size_t>(index.row()));
    const int columna = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return columna == 0 ? texto(fila.texto)
                            : texto(fila.subitems[static_cast<std::size_t>(columna - 1)]);
    case Qt::CheckStateRole:
        if (columna == 0) {
            return fila.marcada ? Qt::Checked : Qt::Unchecked;
        }
        return {};
    case Qt::DecorationRole:
        if (columna == 0) {
            return arte::iconoFila(fila.icono);
        }
        return {};
    case Qt::ForegroundRole:
        if (fila.color != kColorNormal) {
            return colorDeLaSuite(fila.color);
        }
        if (!fila.dudoso.empty()) {
            return QColor(0xB3, 0x5C, 0x00); // amber: neither pending nor sent for sure
        }
        return {};
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(alineacion(columna));
    case Qt::ToolTipRole:
        if (columna == 0) {
            return fila.dudoso.empty()
                       ? texto(fila.etiqueta)
                       : texto(fila.etiqueta + "\nPosiblemente enviado: " + fila.dudoso);
        }
        return {};
    default:
        return {};
    }
}

QVariant ModeloDocumentos::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnas) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    if (role == Qt::DisplayRole) {
        return titulos().at(section);
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(alineacion(section));
    }
    return {};
}

Qt::ItemFlags ModeloDocumentos::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == 0) {
        f |= Qt::ItemIsUserCheckable;
    }
    return f;
}

bool ModeloDocumentos::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || !valido(index) || index.column() != 0) {
        return false;
    }
    FilaLista& fila = lista_.fila(static_cast<std::size_t>(index.row()));
    fila.marcada = value.toInt() == Qt::Checked;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    emit marcaCambiada(index.row());
    return true;
}

void ModeloDocumentos::recargar() {
    beginResetModel();
    endResetModel();
}

void ModeloDocumentos::filasCambiadas() {
    if (rowCount() > 0) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, kColumnas - 1));
    }
}

void ModeloDocumentos::filaCambiada(int fila) {
    if (fila >= 0 && fila < rowCount()) {
        emit dataChanged(index(fila, 0), index(fila, kColumnas - 1));
    }
}

VistaDocumentos::VistaDocumentos(QWidget* parent) : QTreeView(parent) {
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setAlternatingRowColors(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The menu opens on the right button's release, which the window handles.
    setContextMenuPolicy(Qt::NoContextMenu);
    setSortingEnabled(false);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(false);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    header()->setHighlightSections(false);
}

bool VistaDocumentos::viewportEvent(QEvent* event) {
    if (event->type() != QEvent::ToolTip) {
        return QTreeView::viewportEvent(event);
    }
    // The columns keep the widths the list was designed with, which cut long sizes and names
    // short; hovering over a cut cell shows its whole text. The first column has its own tip.
    const auto* ayuda = static_cast<QHelpEvent*>(event);
    const QModelIndex celda = indexAt(ayuda->pos());
    if (!celda.isValid() || celda.column() == 0) {
        return QTreeView::viewportEvent(event);
    }
    const QString texto = celda.data(Qt::DisplayRole).toString();
    const int margen = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1);
    if (fontMetrics().horizontalAdvance(texto) > visualRect(celda).width() - margen) {
        QToolTip::showText(ayuda->globalPos(), texto, viewport(), visualRect(celda));
    } else {
        QToolTip::hideText();
    }
    return true;
}

void VistaDocumentos::mouseReleaseEvent(QMouseEvent* event) {
    QTreeView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton) {
        emit clicIzquierdo();
    } else if (event->button() == Qt::RightButton) {
        emit clicDerecho(event->globalPosition().toPoint());
    }
}

void VistaDocumentos::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) {
        emit dobleClic();
    }
}

void VistaDocumentos::keyPressEvent(QKeyEvent* event) {
    // The space bar ticks the current row wherever in the row the focus stands.
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier &&
        currentIndex().isValid() && model() != nullptr) {
        const QModelIndex marca = model()->index(currentIndex().row(), 0);
        const bool marcada = marca.data(Qt::CheckStateRole).toInt() == Qt::Checked;
        model()->setData(marca, marcada ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
        event->accept();
    } else {
        QTreeView::keyPressEvent(event);
    }
    emit tecla();
}

} // namespace envio::gui
