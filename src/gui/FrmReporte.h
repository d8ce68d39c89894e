#pragma once

#include "host/CarpetaPrograma.h"
#include "report/DefinicionInforme.h"
#include "report/PaginarInforme.h"
#include "report/VisorInforme.h"

#include <QDialog>
#include <QWidget>
#include <filesystem>
#include <vector>

class QAction;
class QComboBox;
class QLabel;
class QScrollArea;
class QSpinBox;
class QToolBar;

namespace envio::gui {

// One page of the report drawn at the viewer's zoom, on a grey desk.
class HojaInforme : public QWidget {
    Q_OBJECT
public:
    explicit HojaInforme(QWidget* parent = nullptr);
    void mostrar(const InformePaginado* informe, int pagina, double zoom);
    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] double pixelesPorMm() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const InformePaginado* informe_ = nullptr;
    int pagina_ = 0;
    double zoom_ = 1;
};

// The viewer: its tool bar (pages, zoom, print, export) over the page.
class VisorPaginas : public QWidget {
    Q_OBJECT
public:
    explicit VisorPaginas(QWidget* parent = nullptr);
    void mostrarInforme(const InformePaginado* informe);

    [[nodiscard]] int pagina() const { return pagina_; } // from 0
    [[nodiscard]] double zoom() const { return zoom_; }
    void irAPagina(int pagina);
    // A factor (1 = actual size), or 0 for the page's width, -1 for the whole page.
    void fijarZoom(double zoom);

    [[nodiscard]] QAction* accionImprimir() const { return imprimir_; }
    [[nodiscard]] QAction* accionExportar() const { return exportar_; }
    [[nodiscard]] HojaInforme* hoja() const { return hoja_; }

protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override;

private:
    void actualizar();

    const InformePaginado* informe_ = nullptr;
    int pagina_ = 0;
    double zoomPedido_ = 0;
    double zoom_ = 1;
    QToolBar* barra_;
    QScrollArea* area_;
    HojaInforme* hoja_;
    QSpinBox* numero_;
    QLabel* total_;
    QComboBox* zooms_;
    QAction* primera_;
    QAction* anterior_;
    QAction* siguiente_;
    QAction* ultima_;
    QAction* imprimir_;
    QAction* exportar_;
};

// The report window, "Impresión de informes": shows a laid-out report, prints it through the
// printer dialog and exports it to PDF.
class FrmReporte : public QDialog {
    Q_OBJECT
public:
    explicit FrmReporte(InformePaginado informe, QWidget* parent = nullptr);

    [[nodiscard]] VisorPaginas* visor() const { return visor_; }
    [[nodiscard]] const InformePaginado& informe() const { return informe_; }

    void imprimir();
    void exportarPdf();

private:
    InformePaginado informe_;
    VisorPaginas* visor_;
};

// How the desktop program shows a run's report: prepares it with the busy pointer, then opens
// the report window modally over `propietario`; a failure is shown in a message box.
class VisorInformeVentana : public VisorInforme {
public:
    explicit VisorInformeVentana(
        CarpetaPrograma carpeta, QWidget* propietario = nullptr,
        std::vector<std::filesystem::path> otrasCarpetas = carpetasDatosInforme());
    void mostrar(const SolicitudInforme& solicitud) override;

private:
    CarpetaPrograma carpeta_;
    QWidget* propietario_;
    std::vector<std::filesystem::path> otrasCarpetas_;
};

} // namespace envio::gui
