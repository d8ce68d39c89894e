#pragma once

#include "gui/FrmServidor.h"
#include "ledger/HistorialEnvios.h"
#include "platform/Shell.h"
#include "ui/Dialogos.h"

#include <filesystem>
#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QTableView;
class QTimer;

namespace envio::gui {

class ModeloHistorial;

// Sends a document again through the main window's run; false when it is not in the list shown
// there (the caller has said so).
using ReenviarDocumento = std::function<bool(const std::filesystem::path& documento)>;

// "Historial de envíos": every attempt of every machine, with a search box, a date range and an
// outcome filter; from a row, open its document, copy the proof or send it again; the rows
// shown go to CSV or PDF. The queries and texts are HistorialEnvios'.
class FrmHistorial : public MarcoAjustes {
    Q_OBJECT
public:
    // Throws ErrorBaseDatos when a ledger cannot be read.
    FrmHistorial(const std::filesystem::path& carpetaPrograma, Shell& shell, Dialogos& dialogos,
                 ReenviarDocumento reenviar, QWidget* parent = nullptr);
    ~FrmHistorial() override;

    [[nodiscard]] ModeloHistorial* modelo() const { return modelo_; }
    [[nodiscard]] QTableView* tabla() const { return tabla_; }
    [[nodiscard]] QLineEdit* txtBusqueda() const { return txtBusqueda_; }
    [[nodiscard]] QLineEdit* txtDesde() const { return txtDesde_; }
    [[nodiscard]] QLineEdit* txtHasta() const { return txtHasta_; }
    [[nodiscard]] QComboBox* cmbResultado() const { return cmbResultado_; }
    [[nodiscard]] QLabel* lblTotales() const { return lblTotales_; }

    void filtrar();
    void abrirDocumento();
    void copiarConstancia();
    void reenviar();
    void exportarCsv(const QString& archivo);
    void exportarPdf(const QString& archivo);

private:
    void construir();
    void ejecutarEnlace(int indice);
    [[nodiscard]] const FilaHistorial* filaActual();
    void avisar(const std::string& texto);
    void avisarOmitidos();

    std::filesystem::path carpeta_;
    Shell& shell_;
    Dialogos& dialogos_;
    ReenviarDocumento reenviar_;
    std::unique_ptr<HistorialEnvios> historial_;
    ModeloHistorial* modelo_ = nullptr;
    QTableView* tabla_ = nullptr;
    QLineEdit* txtBusqueda_ = nullptr;
    QLineEdit* txtDesde_ = nullptr;
    QLineEdit* txtHasta_ = nullptr;
    QComboBox* cmbResultado_ = nullptr;
    QLabel* lblTotales_ = nullptr;
    QTimer* espera_ = nullptr;
};

// Opens the history modally over `parent`; a ledger that cannot be read is told through
// `dialogos` and the window does not open.
void abrirFrmHistorial(QWidget* parent, const std::filesystem::path& carpetaPrograma, Shell& shell,
                       Dialogos& dialogos, ReenviarDocumento reenviar);

} // namespace envio::gui
