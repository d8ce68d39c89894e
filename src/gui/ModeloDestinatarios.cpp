#include "gui/ModeloDestinatarios.h"

namespace envio::gui {

ModeloDestinatarios::ModeloDestinatarios(ListaVista& lista, QObject* parent)
    : QAbstractTableModel(parent), lista_(lista) {}

int ModeloDestinatarios::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(lista_.cantidad());
}

int ModeloDestinatarios::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

bool ModeloDestinatarios::valido(const QModelIndex& index) const {
    return index.isValid() && index.row() >= 0 &&
           static_cast<std::size_t>(index.row()) < lista_.cantidad() && index.column() >= 0 &&
           index.column() < 2;
}

QVariant ModeloDestinatarios::data(const QModelIndex& index, int role) const {
    if (!valido(index)) {
        return {};
    }
    const FilaLista& fila = lista_.fila(static_cast<std::size_t>(index.row()));
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        return QString::fromStdString(index.column() == 0 ? fila.texto : fila.subitems[0]);
    }
    if (role == Qt::CheckStateRole && index.column() == 0) {
        return fila.marcada ? Qt::Checked : Qt::Unchecked;
    }
    return {};
}

QVariant ModeloDestinatarios::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section > 1) {
        return {};
    }
    return section == 0 ? QStringLiteral("Destinatario") : QStringLiteral("Email");
}

Qt::ItemFlags ModeloDestinatarios::flags(const QModelIndex& index) const {
    if (!valido(index)) {
        return Qt::NoItemFlags;
    }
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == 0) {
        f |= Qt::ItemIsUserCheckable;
    }
    return f;
}

bool ModeloDestinatarios::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!valido(index) || index.column() != 0 || role != Qt::CheckStateRole) {
        return false;
    }
    lista_.fila(static_cast<std::size_t>(index.row())).marcada =
        value.toInt() == static_cast<int>(Qt::Checked);
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

void ModeloDestinatarios::recargar() {
    beginResetModel();
    endResetModel();
}

} // namespace envio::gui
