#pragma once

#include "ledger/HistorialEnvios.h"

#include <QAbstractTableModel>

namespace envio::gui {

// The history window's table: the attempts the filter lets through, in the order chosen by a
// click on a header. Rows are read from the ledgers as the view shows them.
class ModeloHistorial : public QAbstractTableModel {
    Q_OBJECT
public:
    ModeloHistorial(HistorialEnvios& historial, QObject* parent = nullptr);

    // Throws what HistorialEnvios::consultar throws; the rows shown stay as they were.
    void filtrar(const FiltroHistorial& filtro);
    [[nodiscard]] const FiltroHistorial& filtro() const { return filtro_; }
    const FilaHistorial& fila(int indice) {
        return historial_.fila(static_cast<std::size_t>(indice));
    }
    [[nodiscard]] const TotalesHistorial& totales() const { return historial_.totales(); }

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role) const override;
    void sort(int column, Qt::SortOrder order) override;

private:
    void consultar(const FiltroHistorial& filtro, ColumnaHistorial orden, bool descendente);

    HistorialEnvios& historial_;
    FiltroHistorial filtro_;
    ColumnaHistorial orden_ = ColumnaHistorial::Hora;
    bool descendente_ = true;
};

// The totals line under the table.
QString textoTotales(const TotalesHistorial& totales);

} // namespace envio::gui
