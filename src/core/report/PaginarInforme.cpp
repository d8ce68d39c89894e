#include "report/PaginarInforme.h"

#include "report/FormulaInforme.h"

#include <algorithm>

namespace envio {
namespace {

constexpr double kMilimetrosPorPunto = 25.4 / 72.0;
constexpr double kMargenCelda = 1.5;     // blank on each side of a cell's text
constexpr double kMargenFila = 0.9;      // blank above and below a row's text
constexpr double kSeparacionDerecha = 4; // between the left and the right text of a band line
constexpr double kAntesDelFinal = 3;
constexpr int kGrisEncabezado = 222;
constexpr int kGrisFilaAlterna = 243;

double altoLinea(const Fuente& fuente) {
    return fuente.puntos * kMilimetrosPorPunto * kInterlineado;
}

std::size_t longitudCaracter(unsigned char c) {
    if (c >= 0xF0) {
        return 4;
    }
    if (c >= 0xE0) {
        return 3;
    }
    return c >= 0xC0 ? 2 : 1;
}

struct Variables {
    std::vector<std::pair<std::string, std::string>> formulas;
    std::string fecha;
    std::string registros;
    std::string pagina;
    std::string paginas;
};

std::string rellenar(const Plantilla& plantilla, const Variables& v) {
    std::string texto;
    for (const auto& trozo : plantilla) {
        switch (trozo.tipo) {
        case TrozoPlantilla::Tipo::Literal:
            texto += trozo.texto;
            break;
        case TrozoPlantilla::Tipo::Fecha:
            texto += v.fecha;
            break;
        case TrozoPlantilla::Tipo::Pagina:
            texto += v.pagina;
            break;
        case TrozoPlantilla::Tipo::Paginas:
            texto += v.paginas;
            break;
        case TrozoPlantilla::Tipo::Registros:
            texto += v.registros;
            break;
        case TrozoPlantilla::Tipo::Formula:
            for (const auto& [nombre, valor] : v.formulas) {
                if (nombre == trozo.texto) {
                    texto += valor;
                    break;
                }
            }
            break;
        }
    }
    return texto;
}

class Maquetador {
public:
    Maquetador(const DefinicionInforme& d, const MedidaTexto& m, double anchoPapel,
               double altoPapel)
        : def_(d), medida_(m), x_(d.margenIzquierdo),
          ancho_(std::max(10.0, anchoPapel - d.margenIzquierdo - d.margenDerecho)),
          arriba_(d.margenSuperior), abajo_(altoPapel - d.margenInferior) {
        double pesos = 0;
        for (const auto& c : d.columnas) {
            pesos += c.peso;
        }
        double x = x_;
        for (const auto& c : d.columnas) {
            const double anchoColumna = ancho_ * c.peso / pesos;
            columnas_.push_back({x, anchoColumna});
            x += anchoColumna;
        }
    }

    [[nodiscard]] double arriba() const { return arriba_; }
    [[nodiscard]] double abajo() const { return abajo_; }

    // Places a band from `y` (on `pagina` when given) and returns its height.
    double banda(const std::vector<LineaBanda>& lineas, const Variables& v, double y,
                 PaginaInforme* pagina) const {
        const double inicio = y;
        for (const auto& linea : lineas) {
            switch (linea.tipo) {
            case LineaBanda::Tipo::Espacio:
                y += linea.medida;
                break;
            case LineaBanda::Tipo::Raya:
                if (pagina) {
                    const double medio = y + 0.75 + linea.medida / 2;
                    pagina->rayas.push_back({x_, medio, x_ + ancho_, medio, linea.medida});
                }
                y += linea.medida + 1.5;
                break;
            case LineaBanda::Tipo::Texto:
                y += lineaTexto(linea, v, y, pagina);
                break;
            }
        }
        return y - inicio;
    }

    double encabezados(double y, PaginaInforme* pagina) const {
        const Fuente fuente = kFuenteEncabezado;
        std::vector<std::vector<std::string>> celdas;
        for (std::size_t c = 0; c < columnas_.size(); ++c) {
            celdas.push_back(
                partirEnLineas(def_.columnas[c].titulo, anchoTexto(c), fuente, medida_));
        }
        const double alto = altoFila(celdas, fuente);
        if (pagina) {
            pagina->rellenos.push_back({x_, y, ancho_, alto, kGrisEncabezado});
            pagina->rayas.push_back({x_, y + alto, x_ + ancho_, y + alto, 0.3});
            celdasEn(celdas, fuente, y, *pagina);
        }
        return alto;
    }

    [[nodiscard]] std::vector<std::vector<std::string>>
    partirFila(const std::vector<std::string>& fila) const {
        std::vector<std::vector<std::string>> celdas;
        for (std::size_t c = 0; c < columnas_.size(); ++c) {
            celdas.push_back(partirEnLineas(c < fila.size() ? fila[c] : std::string(),
                                            anchoTexto(c), kFuenteFila, medida_));
        }
        return celdas;
    }

    static double altoFila(const std::vector<std::vector<std::string>>& celdas,
                           const Fuente& fuente) {
        std::size_t lineas = 1;
        for (const auto& c : celdas) {
            lineas = std::max(lineas, c.size());
        }
        return static_cast<double>(lineas) * altoLinea(fuente) + 2 * kMargenFila;
    }

    void fila(const std::vector<std::vector<std::string>>& celdas, double y, double alto,
              bool sombreada, PaginaInforme& pagina) const {
        if (sombreada) {
            pagina.rellenos.push_back({x_, y, ancho_, alto, kGrisFilaAlterna});
        }
        celdasEn(celdas, kFuenteFila, y, pagina);
    }

    void cierreTabla(double y, PaginaInforme& pagina) const {
        pagina.rayas.push_back({x_, y, x_ + ancho_, y, 0.2});
    }

private:
    [[nodiscard]] double anchoTexto(std::size_t c) const {
        return std::max(1.0, columnas_[c].second - 2 * kMargenCelda);
    }

    void celdasEn(const std::vector<std::vector<std::string>>& celdas, const Fuente& fuente,
                  double y, PaginaInforme& pagina) const {
        const double lh = altoLinea(fuente);
        for (std::size_t c = 0; c < celdas.size(); ++c) {
            double yLinea = y + kMargenFila;
            for (const auto& texto : celdas[c]) {
                if (!texto.empty()) {
                    pagina.textos.push_back({columnas_[c].first + kMargenCelda, yLinea,
                                             anchoTexto(c), lh, texto, fuente,
                                             Alineacion::Izquierda});
                }
                yLinea += lh;
            }
        }
    }

    double lineaTexto(const LineaBanda& linea, const Variables& v, double y,
                      PaginaInforme* pagina) const {
        const Fuente fuente = fuenteDe(linea.estilo);
        const double lh = altoLinea(fuente);
        const std::string derecha = rellenar(linea.derecha, v);
        double anchoDerecha = 0;
        std::vector<std::string> lineasDerecha;
        if (!derecha.empty()) {
            anchoDerecha = std::min(medida_.ancho(derecha, fuente), ancho_ / 2);
            lineasDerecha = partirEnLineas(derecha, anchoDerecha, fuente, medida_);
        }
        const double anchoIzquierda =
            derecha.empty() ? ancho_ : ancho_ - anchoDerecha - kSeparacionDerecha;
        const auto lineasIzquierda =
            partirEnLineas(rellenar(linea.izquierda, v), anchoIzquierda, fuente, medida_);
        if (pagina) {
            for (std::size_t i = 0; i < lineasIzquierda.size(); ++i) {
                pagina->textos.push_back({x_, y + lh * static_cast<double>(i), anchoIzquierda, lh,
                                          lineasIzquierda[i], fuente, Alineacion::Izquierda});
            }
            for (std::size_t i = 0; i < lineasDerecha.size(); ++i) {
                pagina->textos.push_back({x_ + ancho_ - anchoDerecha,
                                          y + lh * static_cast<double>(i), anchoDerecha, lh,
                                          lineasDerecha[i], fuente, Alineacion::Derecha});
            }
        }
        return lh * static_cast<double>(std::max(lineasIzquierda.size(), lineasDerecha.size()));
    }

    const DefinicionInforme& def_;
    const MedidaTexto& medida_;
    double x_, ancho_, arriba_, abajo_;
    std::vector<std::pair<double, double>> columnas_; // left edge and width
};

// Which rows go on each page; the last entry may hold no rows when only the closing band moved
// on to a page of its own.
struct Reparto {
    std::vector<std::pair<std::size_t, std::size_t>> paginas; // [first, last) rows
    double altoCabecera = 0;
};

Reparto repartir(const Maquetador& m, const DefinicionInforme& def,
                 const std::vector<double>& altos, const Variables& v) {
    Reparto r;
    r.altoCabecera = m.banda(def.cabecera, v, 0, nullptr);
    const double inicioFilas = m.arriba() + r.altoCabecera + m.encabezados(0, nullptr);
    const double finFilas = m.abajo() - m.banda(def.pie, v, 0, nullptr);
    double y = inicioFilas;
    std::size_t primera = 0;
    for (std::size_t i = 0; i < altos.size(); ++i) {
        // A row never taller than a page still goes where it starts, or we would loop forever.
        if (y + altos[i] > finFilas && i > primera) {
            r.paginas.emplace_back(primera, i);
            primera = i;
            y = inicioFilas;
        }
        y += altos[i];
    }
    r.paginas.emplace_back(primera, altos.size());
    const double altoFinal = m.banda(def.final, v, 0, nullptr);
    if (altoFinal > 0 && y + kAntesDelFinal + altoFinal > finFilas && primera < altos.size()) {
        r.paginas.emplace_back(altos.size(), altos.size());
    }
    return r;
}

} // namespace

Fuente fuenteDe(EstiloLinea estilo) {
    switch (estilo) {
    case EstiloLinea::Titulo:
        return {15, true};
    case EstiloLinea::Subtitulo:
        return {10.5, false};
    case EstiloLinea::Texto:
        return {9, false};
    case EstiloLinea::Negrita:
        return {9, true};
    case EstiloLinea::Pequeno:
        return {7.5, false};
    }
    return {};
}

std::vector<std::string> partirEnLineas(std::string_view original, double ancho,
                                        const Fuente& fuente, const MedidaTexto& medida) {
    std::string texto(original);
    // A line break or a tab in a value would draw as a box or overprint the next row.
    std::replace_if(
        texto.begin(), texto.end(),
        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }, ' ');
    if (medida.ancho(texto, fuente) <= ancho) {
        return {texto};
    }
    const auto cabe = [&](const std::string& t) { return medida.ancho(t, fuente) <= ancho; };
    std::vector<std::string> lineas;
    std::string actual;
    std::size_t inicio = 0;
    while (inicio < texto.size()) {
        auto fin = texto.find(' ', inicio);
        if (fin == std::string::npos) {
            fin = texto.size();
        }
        const std::string palabra = texto.substr(inicio, fin - inicio);
        inicio = fin + 1;
        if (palabra.empty()) {
            continue;
        }
        std::string junto = actual;
        if (!junto.empty()) {
            junto += ' ';
        }
        junto += palabra;
        if (cabe(junto)) {
            actual = std::move(junto);
            continue;
        }
        if (!actual.empty()) {
            lineas.push_back(std::move(actual));
            actual.clear();
        }
        if (cabe(palabra)) {
            actual = palabra;
            continue;
        }
        for (std::size_t i = 0; i < palabra.size();) {
            const std::size_t n = std::min(longitudCaracter(static_cast<unsigned char>(palabra[i])),
                                           palabra.size() - i);
            std::string caracter = palabra.substr(i, n);
            i += n;
            while (!actual.empty() && !cabe(actual + caracter)) {
                // Broken after a dot, an underscore or an "@", the pieces of a file name or an
                // address still read as its parts.
                const auto corte = actual.find_last_of("._-@/");
                if (corte != std::string::npos && corte + 1 < actual.size() &&
                    (corte + 1) * 3 >= actual.size()) {
                    lineas.push_back(actual.substr(0, corte + 1));
                    actual.erase(0, corte + 1);
                } else {
                    lineas.push_back(std::move(actual));
                    actual.clear();
                }
            }
            actual += caracter;
        }
    }
    if (!actual.empty() || lineas.empty()) {
        lineas.push_back(std::move(actual));
    }
    return lineas;
}

InformePaginado paginarInforme(const DefinicionInforme& definicion,
                               const std::vector<std::vector<std::string>>& filas,
                               const std::string& fecha, const MedidaTexto& medida) {
    InformePaginado informe;
    informe.apaisado = definicion.apaisado;
    if (definicion.apaisado) {
        std::swap(informe.anchoPapel, informe.altoPapel);
    }
    informe.familia = definicion.fuente;
    informe.registros = filas.size();

    Variables v;
    for (const auto& f : definicion.formulas) {
        v.formulas.emplace_back(f.nombre, evaluarFormula(f.formula));
    }
    informe.titulo = definicion.valorFormula("{@TituloInforme}");
    v.fecha = fecha;
    v.registros = std::to_string(filas.size());

    const Maquetador m(definicion, medida, informe.anchoPapel, informe.altoPapel);
    std::vector<std::vector<std::vector<std::string>>> celdas;
    std::vector<double> altos;
    celdas.reserve(filas.size());
    altos.reserve(filas.size());
    for (const auto& fila : filas) {
        celdas.push_back(m.partirFila(fila));
        altos.push_back(Maquetador::altoFila(celdas.back(), kFuenteFila));
    }

    // The header's height may depend on how many digits "Página n de m" takes, and the number
    // of pages on the header's height: lay out again until the count of digits settles.
    Reparto reparto;
    std::size_t total = 1;
    for (int intento = 0; intento < 5; ++intento) {
        v.pagina = v.paginas = std::to_string(total);
        reparto = repartir(m, definicion, altos, v);
        const bool estable = std::to_string(reparto.paginas.size()).size() == v.paginas.size();
        total = reparto.paginas.size();
        if (estable) {
            break;
        }
    }

    v.paginas = std::to_string(reparto.paginas.size());
    const double altoEncabezados = m.encabezados(0, nullptr);
    for (std::size_t p = 0; p < reparto.paginas.size(); ++p) {
        const auto [primera, ultima] = reparto.paginas[p];
        PaginaInforme pagina;
        v.pagina = std::to_string(p + 1);
        m.banda(definicion.cabecera, v, m.arriba(), &pagina);
        double y = m.arriba() + reparto.altoCabecera;
        const bool soloFinal = primera == ultima && !filas.empty();
        if (!soloFinal) {
            m.encabezados(y, &pagina);
            y += altoEncabezados;
            for (std::size_t i = primera; i < ultima; ++i) {
                m.fila(celdas[i], y, altos[i], (i - primera) % 2 == 1, pagina);
                y += altos[i];
            }
            m.cierreTabla(y, pagina);
        }
        if (p + 1 == reparto.paginas.size()) {
            m.banda(definicion.final, v, y + kAntesDelFinal, &pagina);
        }
        const double altoPie = m.banda(definicion.pie, v, 0, nullptr);
        m.banda(definicion.pie, v, m.abajo() - altoPie, &pagina);
        informe.paginas.push_back(std::move(pagina));
    }
    return informe;
}

} // namespace envio
