#pragma once

#include "host/CarpetaPrograma.h"
#include "report/Informe.h"
#include "report/PaginarInforme.h"
#include "report/SolicitudInforme.h"

#include <QFont>
#include <QFontMetricsF>
#include <QString>
#include <array>
#include <filesystem>
#include <map>
#include <unordered_map>
#include <vector>

class QPainter;
class QPagedPaintDevice;

namespace envio::gui {

// Measures with the typeface that draws the report: the sum of each character's advance, taken
// unhinted at a large size, so widths scale with the page and come out the same on paper, in
// the PDF and at any zoom on screen. Drawing uses no kerning, so the sum is what is drawn.
class MedidaTextoQt : public MedidaTexto {
public:
    explicit MedidaTextoQt(const QString& familia);
    [[nodiscard]] double ancho(std::string_view texto, const Fuente& fuente) const override;

private:
    struct Avances {
        QFontMetricsF metricas;
        std::array<double, 128> ascii{};
        mutable std::unordered_map<char32_t, double> otros;
        double de(char32_t c) const;
    };
    Avances normal_;
    Avances negrita_;
};

// The typeface as Qt should use it: sans serif when the named one is not installed.
QFont fuenteBase(const QString& familia);

// Draws one page with the painter's origin at the paper's top left corner, `pixelesPorMm`
// device pixels to the millimetre.
void dibujarPagina(QPainter& pintor, const InformePaginado& informe, const PaginaInforme& pagina,
                   double pixelesPorMm);

// Draws pages [desde, hasta] (counted from 0) on a PDF writer or a printer set to the report's
// paper, full page. Throws ErrorInforme when the device cannot be painted on.
void dibujarPaginas(const InformePaginado& informe, QPagedPaintDevice& dispositivo, int desde,
                    int hasta);

// Writes the whole report as a PDF; an existing file is replaced only once the new one is
// complete. Throws ErrorInforme.
void escribirPdf(const InformePaginado& informe, const QString& ruta);

// A run's report laid out with Qt's fonts, dated today. Throws ErrorInforme.
InformePaginado
prepararInformeQt(const SolicitudInforme& solicitud, const CarpetaPrograma& carpeta,
                  const std::vector<std::filesystem::path>& otrasCarpetas = carpetasDatosInforme());

// The report of `solicitud` written to `rutaPdf` without any window, for the unattended
// command. Works with or without a running QGuiApplication (without one it starts its own,
// off screen unless told otherwise). Throws ErrorInforme.
void exportarInformePdf(
    const SolicitudInforme& solicitud, const CarpetaPrograma& carpeta,
    const std::filesystem::path& rutaPdf,
    const std::vector<std::filesystem::path>& otrasCarpetas = carpetasDatosInforme());

} // namespace envio::gui
