#include "gui/ModeloHistorial.h"

#include "gui/TextoQt.h"

#include <QBrush>
#include <QColor>

namespace envio::gui {

ModeloHistorial::ModeloHistorial(HistorialEnvios& historial, QObject* parent)
    : QAbstractTableModel(parent), historial_(historial) {}

void ModeloHistorial::filtrar(const FiltroHistorial& filtro) {
    consultar(filtro, orden_, descendente_);
}

void ModeloHistorial::consultar(const FiltroHistorial& filtro, ColumnaHistorial orden,
                                bool descendente) {
    beginResetModel();
    try {
        historial_.consultar(filtro, orden, descendente);
    } catch (...) {
        // The query failed before touching the rows it had: the view shows them again.
        endResetModel();
        throw;
    }
    filtro_ = filtro;
    orden_ = orden;
    descendente_ = descendente;
    endResetModel();
}

int ModeloHistorial::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(historial_.cantidad());
}

int ModeloHistorial::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(kColumnasHistorial);
}

QVariant ModeloHistorial::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) {
        return {};
    }
    const FilaHistorial& f = historial_.fila(static_cast<std::size_t>(index.row()));
    const auto columna = static_cast<ColumnaHistorial>(index.column());
    switch (role) {
    case Qt::DisplayRole:
        return q(textoColumna(f, columna));
    case Qt::ToolTipRole:
        // Document columns show names; the whole path and the whole reply are a hover away.
        if (columna == ColumnaHistorial::Documento) {
            return q(f.documento);
        }
        if (columna == ColumnaHistorial::EnviadoComo) {
            return q(f.enviadoComo);
        }
        return q(textoColumna(f, columna));
    case Qt::ForegroundRole:
        if (f.resultado == ResultadoHistorial::Rechazado) {
            return QBrush(QColor(0xC0, 0x00, 0x00));
        }
        if (f.resultado == ResultadoHistorial::Dudoso) {
            return QBrush(QColor(0xB0, 0x60, 0x00));
        }
        return {};
    default:
        return {};
    }
}

QVariant ModeloHistorial::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= columnCount()) {
        return {};
    }
    const auto titulo = titulosHistorial()[static_cast<std::size_t>(section)];
    return QString::fromUtf8(titulo.data(), static_cast<qsizetype>(titulo.size()));
}

void ModeloHistorial::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= columnCount()) {
        return;
    }
    consultar(filtro_, static_cast<ColumnaHistorial>(column), order == Qt::DescendingOrder);
}

QString textoTotales(const TotalesHistorial& t) {
    const auto n = [&t](ResultadoHistorial r) {
        return QString::number(t.porResultado[static_cast<std::size_t>(r)]);
    };
    return QStringLiteral("Intentos: %1    Enviados: %2    Rechazados: %3    Dudosos: %4    "
                          "Marcados: %5")
        .arg(QString::number(t.filas), n(ResultadoHistorial::Enviado),
             n(ResultadoHistorial::Rechazado), n(ResultadoHistorial::Dudoso),
             n(ResultadoHistorial::Marcado));
}

} // namespace envio::gui
