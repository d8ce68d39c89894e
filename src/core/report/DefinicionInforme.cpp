#include "report/DefinicionInforme.h"

#include "platform/ExecutableFolder.h"
#include "platform/FileSystem.h"
#include "report/FormulaInforme.h"

#include <charconv>
#include <optional>
#include <system_error>

namespace envio {
namespace {

std::string_view sinBlancos(std::string_view texto) {
    while (!texto.empty() && (texto.front() == ' ' || texto.front() == '\t')) {
        texto.remove_prefix(1);
    }
    while (!texto.empty() &&
           (texto.back() == ' ' || texto.back() == '\t' || texto.back() == '\r')) {
        texto.remove_suffix(1);
    }
    return texto;
}

// Keys and section names are written by people: letter case and the accents of "Página",
// "Título", "Pequeño" or "Fórmulas" do not count.
std::string clave(std::string_view texto) {
    std::string resultado;
    for (std::size_t i = 0; i < texto.size(); ++i) {
        const auto c = static_cast<unsigned char>(texto[i]);
        if (c == 0xC3 && i + 1 < texto.size()) {
            switch (static_cast<unsigned char>(texto[++i]) | 0x20) {
            case 0xA1:
                resultado += 'a';
                break;
            case 0xA9:
                resultado += 'e';
                break;
            case 0xAD:
                resultado += 'i';
                break;
            case 0xB3:
                resultado += 'o';
                break;
            case 0xBA:
                resultado += 'u';
                break;
            case 0xB1:
                resultado += 'n';
                break;
            default:
                resultado += '?';
                break;
            }
        } else {
            resultado += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : static_cast<char>(c);
        }
    }
    return resultado;
}

bool esNombreCampo(std::string_view nombre) {
    if (nombre.empty() || (nombre.front() >= '0' && nombre.front() <= '9')) {
        return false;
    }
    for (const char c : nombre) {
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
              c == '_')) {
            return false;
        }
    }
    return true;
}

std::vector<std::string_view> partir(std::string_view texto, char separador) {
    std::vector<std::string_view> partes;
    while (true) {
        const auto pos = texto.find(separador);
        partes.push_back(sinBlancos(texto.substr(0, pos)));
        if (pos == std::string_view::npos) {
            return partes;
        }
        texto.remove_prefix(pos + 1);
    }
}

class Lector {
public:
    explicit Lector(std::string_view texto) : texto_(texto) {}

    DefinicionInforme leer() {
        if (texto_.starts_with("\xEF\xBB\xBF")) {
            texto_.remove_prefix(3);
        }
        while (!texto_.empty()) {
            const auto fin = texto_.find('\n');
            const std::string_view linea = sinBlancos(texto_.substr(0, fin));
            texto_.remove_prefix(fin == std::string_view::npos ? texto_.size() : fin + 1);
            ++numero_;
            if (linea.empty() || linea.front() == ';' || linea.front() == '#') {
                continue;
            }
            if (linea.front() == '[') {
                empezarSeccion(linea);
            } else {
                leerClave(linea);
            }
        }
        numero_ = 0;
        comprobarConjunto();
        return std::move(definicion_);
    }

private:
    enum class Seccion { Ninguna, Informe, Formulas, Cabecera, Columnas, Final, Pie };

    [[noreturn]] void fallo(const std::string& motivo) const {
        throw ErrorInforme(numero_ > 0 ? "línea " + std::to_string(numero_) + ": " + motivo
                                       : motivo);
    }

    void empezarSeccion(std::string_view linea) {
        if (linea.back() != ']') {
            fallo("falta el corchete de cierre");
        }
        const std::string nombre = clave(sinBlancos(linea.substr(1, linea.size() - 2)));
        if (nombre == "informe") {
            seccion_ = Seccion::Informe;
        } else if (nombre == "formulas") {
            seccion_ = Seccion::Formulas;
        } else if (nombre == "cabecera") {
            seccion_ = Seccion::Cabecera;
        } else if (nombre == "columnas") {
            seccion_ = Seccion::Columnas;
        } else if (nombre == "final") {
            seccion_ = Seccion::Final;
        } else if (nombre == "pie") {
            seccion_ = Seccion::Pie;
        } else {
            fallo("sección desconocida " + std::string(linea));
        }
    }

    void leerClave(std::string_view linea) {
        // A formula's name may itself hold "=": its key ends with the closing brace.
        std::size_t igual = linea.find('=');
        if (seccion_ == Seccion::Formulas && linea.front() == '{') {
            const auto llave = linea.find('}');
            igual = llave == std::string_view::npos ? llave : linea.find('=', llave);
        }
        if (igual == std::string_view::npos) {
            fallo("se esperaba clave=valor");
        }
        const std::string_view nombre = sinBlancos(linea.substr(0, igual));
        const std::string_view valor = sinBlancos(linea.substr(igual + 1));
        switch (seccion_) {
        case Seccion::Ninguna:
            fallo("clave fuera de sección");
        case Seccion::Informe:
            leerInforme(clave(nombre), valor);
            break;
        case Seccion::Formulas:
            leerFormula(nombre, valor);
            break;
        case Seccion::Cabecera:
            definicion_.cabecera.push_back(leerLinea(nombre, valor));
            break;
        case Seccion::Final:
            definicion_.final.push_back(leerLinea(nombre, valor));
            break;
        case Seccion::Pie:
            definicion_.pie.push_back(leerLinea(nombre, valor));
            break;
        case Seccion::Columnas:
            leerColumna(clave(nombre), valor);
            break;
        }
    }

    double numero(std::string_view texto, double minimo, double maximo) const {
        double n = 0;
        const auto [fin, error] = std::from_chars(texto.data(), texto.data() + texto.size(), n);
        if (texto.empty() || error != std::errc() || fin != texto.data() + texto.size() ||
            !(n >= minimo && n <= maximo)) {
            fallo("número no válido: " + std::string(texto));
        }
        return n;
    }

    void leerInforme(const std::string& nombre, std::string_view valor) {
        if (nombre == "formato") {
            if (valor != "1") {
                fallo("formato " + std::string(valor) + " desconocido");
            }
            tieneFormato_ = true;
        } else if (nombre == "tabla") {
            if (!esNombreCampo(valor)) {
                fallo("nombre de tabla no válido");
            }
            definicion_.tabla = valor;
        } else if (nombre == "orden") {
            if (!valor.empty() && !esNombreCampo(valor)) {
                fallo("nombre de campo no válido");
            }
            definicion_.orden = valor;
        } else if (nombre == "papel") {
            if (clave(valor) != "a4") {
                fallo("papel " + std::string(valor) + " no disponible");
            }
        } else if (nombre == "orientacion") {
            const std::string o = clave(valor);
            if (o != "vertical" && o != "horizontal") {
                fallo("orientación " + std::string(valor) + " desconocida");
            }
            definicion_.apaisado = o == "horizontal";
        } else if (nombre == "margenes") {
            const auto partes = partir(valor, ',');
            if (partes.size() != 4) {
                fallo("se esperaban cuatro márgenes");
            }
            definicion_.margenIzquierdo = numero(partes[0], 0, 60);
            definicion_.margenSuperior = numero(partes[1], 0, 60);
            definicion_.margenDerecho = numero(partes[2], 0, 60);
            definicion_.margenInferior = numero(partes[3], 0, 60);
        } else if (nombre == "fuente") {
            if (valor.empty()) {
                fallo("falta el nombre de la fuente");
            }
            definicion_.fuente = valor;
        } else {
            fallo("clave desconocida " + nombre);
        }
    }

    void leerFormula(std::string_view nombre, std::string_view formula) {
        if (!nombre.starts_with("{@") || !nombre.ends_with("}") || nombre.size() < 4) {
            fallo("el nombre de una fórmula se escribe {@Nombre}");
        }
        for (const auto& f : definicion_.formulas) {
            if (f.nombre == nombre) {
                fallo("fórmula repetida " + std::string(nombre));
            }
        }
        try {
            (void)evaluarFormula(formula);
        } catch (const ErrorInforme& e) {
            fallo(e.what());
        }
        definicion_.formulas.push_back({std::string(nombre), std::string(formula)});
    }

    Plantilla plantilla(std::string_view texto) {
        Plantilla trozos;
        std::string literal;
        const auto cerrarLiteral = [&] {
            if (!literal.empty()) {
                trozos.push_back({TrozoPlantilla::Tipo::Literal, literal});
                literal.clear();
            }
        };
        for (std::size_t i = 0; i < texto.size(); ++i) {
            if (texto[i] != '{') {
                literal += texto[i];
                continue;
            }
            if (i + 1 < texto.size() && texto[i + 1] == '{') {
                literal += '{';
                ++i;
                continue;
            }
            const auto fin = texto.find('}', i);
            if (fin == std::string_view::npos) {
                fallo("falta la llave de cierre");
            }
            const std::string_view campo = texto.substr(i, fin - i + 1);
            const std::string nombre = clave(campo);
            cerrarLiteral();
            if (campo.starts_with("{@")) {
                trozos.push_back({TrozoPlantilla::Tipo::Formula, std::string(campo)});
                referencias_.push_back({std::string(campo), numero_});
            } else if (nombre == "{fecha}") {
                trozos.push_back({TrozoPlantilla::Tipo::Fecha, {}});
            } else if (nombre == "{pagina}") {
                trozos.push_back({TrozoPlantilla::Tipo::Pagina, {}});
            } else if (nombre == "{paginas}") {
                trozos.push_back({TrozoPlantilla::Tipo::Paginas, {}});
            } else if (nombre == "{registros}") {
                trozos.push_back({TrozoPlantilla::Tipo::Registros, {}});
            } else {
                fallo("campo desconocido " + std::string(campo));
            }
            i = fin;
        }
        cerrarLiteral();
        return trozos;
    }

    LineaBanda leerLinea(std::string_view nombre, std::string_view valor) {
        const std::string tipo = clave(nombre);
        LineaBanda linea;
        if (tipo == "raya") {
            linea.tipo = LineaBanda::Tipo::Raya;
            linea.medida = valor.empty() ? 0.3 : numero(valor, 0.05, 5);
            return linea;
        }
        if (tipo == "espacio") {
            linea.tipo = LineaBanda::Tipo::Espacio;
            linea.medida = numero(valor, 0, 100);
            return linea;
        }
        if (tipo == "titulo") {
            linea.estilo = EstiloLinea::Titulo;
        } else if (tipo == "subtitulo") {
            linea.estilo = EstiloLinea::Subtitulo;
        } else if (tipo == "texto") {
            linea.estilo = EstiloLinea::Texto;
        } else if (tipo == "negrita") {
            linea.estilo = EstiloLinea::Negrita;
        } else if (tipo == "pequeno") {
            linea.estilo = EstiloLinea::Pequeno;
        } else {
            fallo("tipo de línea desconocido " + std::string(nombre));
        }
        const auto barra = valor.find('|');
        linea.izquierda = plantilla(sinBlancos(valor.substr(0, barra)));
        if (barra != std::string_view::npos) {
            linea.derecha = plantilla(sinBlancos(valor.substr(barra + 1)));
        }
        return linea;
    }

    void leerColumna(const std::string& nombre, std::string_view valor) {
        if (nombre != "columna") {
            fallo("clave desconocida " + nombre);
        }
        const auto primera = valor.find(',');
        const auto segunda =
            primera == std::string_view::npos ? primera : valor.find(',', primera + 1);
        if (segunda == std::string_view::npos) {
            fallo("se esperaba Columna=CAMPO,ancho,título");
        }
        ColumnaInforme columna;
        columna.campo = sinBlancos(valor.substr(0, primera));
        if (!esNombreCampo(columna.campo)) {
            fallo("nombre de campo no válido");
        }
        columna.peso =
            numero(sinBlancos(valor.substr(primera + 1, segunda - primera - 1)), 1, 1000);
        columna.titulo = sinBlancos(valor.substr(segunda + 1));
        definicion_.columnas.push_back(std::move(columna));
    }

    void comprobarConjunto() {
        if (!tieneFormato_) {
            fallo("no es una definición de informe (falta Formato=1 en [Informe])");
        }
        if (definicion_.columnas.empty()) {
            fallo("no hay columnas");
        }
        for (const auto& [nombre, linea] : referencias_) {
            bool definida = false;
            for (const auto& f : definicion_.formulas) {
                definida = definida || f.nombre == nombre;
            }
            if (!definida) {
                numero_ = linea;
                fallo("fórmula no definida " + nombre);
            }
        }
    }

    std::string_view texto_;
    int numero_ = 0;
    Seccion seccion_ = Seccion::Ninguna;
    bool tieneFormato_ = false;
    DefinicionInforme definicion_;
    std::vector<std::pair<std::string, int>> referencias_;
};

} // namespace

bool DefinicionInforme::fijarFormula(std::string_view nombre, std::string formula) {
    for (auto& f : formulas) {
        if (f.nombre == nombre) {
            f.formula = std::move(formula);
            return true;
        }
    }
    return false;
}

std::string DefinicionInforme::valorFormula(std::string_view nombre) const {
    for (const auto& f : formulas) {
        if (f.nombre == nombre) {
            return evaluarFormula(f.formula);
        }
    }
    return {};
}

DefinicionInforme leerDefinicionInforme(std::string_view texto) {
    return Lector(texto).leer();
}

std::vector<std::filesystem::path> carpetasDatosInforme() {
    std::vector<std::filesystem::path> carpetas;
    // An installation moved to another prefix keeps its data beside its program.
    carpetas.push_back(executableFolder() / "../share/envio-documentos");
#ifdef ENVIO_DATADIR
    carpetas.emplace_back(ENVIO_DATADIR);
#endif
#ifdef ENVIO_SOURCE_DATADIR
    carpetas.emplace_back(ENVIO_SOURCE_DATADIR);
#endif
    return carpetas;
}

DefinicionInforme cargarDefinicionInforme(const CarpetaPrograma& carpeta, std::string_view fichero,
                                          const std::vector<std::filesystem::path>& otrasCarpetas) {
    // The request names a file, never a path: anything else cannot be ours.
    const bool nombreValido = !fichero.empty() && fichero != "." && fichero != ".." &&
                              fichero.find_first_of("/\\") == std::string_view::npos;
    std::optional<std::filesystem::path> ruta;
    std::error_code error;
    if (nombreValido) {
        if (auto enCarpeta = carpeta.archivo(fichero); std::filesystem::exists(enCarpeta, error)) {
            ruta = std::move(enCarpeta);
        }
        for (std::size_t i = 0; !ruta && i < otrasCarpetas.size(); ++i) {
            ruta = fs::findIgnoringCase(otrasCarpetas[i], fichero);
        }
    }
    const auto texto =
        ruta && std::filesystem::is_regular_file(*ruta, error) ? fs::readFile(*ruta) : std::nullopt;
    if (!texto) {
        throw ErrorInforme(std::string(kReporteNoEncontrado));
    }
    try {
        return leerDefinicionInforme(*texto);
    } catch (const ErrorInforme& e) {
        throw ErrorInforme(std::string(kReporteNoEncontrado) + "\n" + ruta->string() + ", " +
                           e.what());
    }
}

} // namespace envio
