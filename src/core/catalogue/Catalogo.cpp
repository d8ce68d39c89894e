#include "catalogue/Catalogo.h"

#include "catalogue/TextosNumericos.h"
#include "database/Texto.h"
#include "settings/NumeroInicial.h"
#include "settings/Windows1252.h"

#include <algorithm>
#include <future>
#include <initializer_list>
#include <string_view>

namespace envio {
namespace {

std::string monthText(int mes) {
    return mes >= 1 && mes <= 12 ? conCeros(mes, 2) : "??";
}

long long leadingCode(std::string_view code) {
    return redondearAPar(NumeroInicial(code));
}

// The text that the search box is matched against: every field after a "#", in capitals.
std::string searchText(std::initializer_list<std::string_view> campos) {
    std::string text;
    for (const auto campo : campos) {
        text += '#';
        text += campo;
    }
    return mayusculas(text);
}

std::string payKind(const std::string& letra) {
    if (letra == "M") {
        return "Mensualidad";
    }
    if (letra == "A") {
        return "Atrasos";
    }
    if (letra == "P") {
        return "Pagas";
    }
    return letra;
}

// The suite lays its file names out by character positions, counted as Windows counts them; the
// names on this disk are UTF-8, where a letter such as "Ñ" takes two bytes and would shift every
// later field. Positions are taken on the name in the code page, as the pattern matched it.
class NombreDocumento {
public:
    explicit NombreDocumento(std::string_view nombre)
        : ascii_(std::all_of(nombre.begin(), nombre.end(),
                             [](char c) { return static_cast<unsigned char>(c) < 0x80; })),
          letras_(ascii_ ? std::string(nombre) : utf8ToWindows1252(nombre)) {}
    [[nodiscard]] std::string trozo(std::size_t desde, std::size_t cuantas) const {
        if (desde >= letras_.size()) {
            return {};
        }
        // The suite's names are plain ASCII nearly always: one byte, one letter.
        return ascii_ ? letras_.substr(desde, cuantas)
                      : windows1252ToUtf8(letras_.substr(desde, cuantas));
    }

private:
    bool ascii_;
    std::string letras_;
};

} // namespace

bool estaEnviado(std::string_view nombreArchivo) {
    return mayusculas(sinBlancos(nombreArchivo)).ends_with(".ENVIADO.PDF");
}

Catalogo::Catalogo(const ContextoAnfitrion& contexto) : contexto_(contexto), indice_(contexto) {}

std::filesystem::path Catalogo::carpeta(const SeleccionPeriodo& s) const {
    if (s.tipo == kTipoFacturas) {
        return fs::resolveInFolder(contexto_.rutaDocumentos, s.anio);
    }
    return fs::resolveInFolder(contexto_.rutaDocumentos, s.tipo);
}

std::string Catalogo::patron(const SeleccionPeriodo& s) {
    if (s.tipo == kTipoFacturas) {
        return "??????_" + s.anio + monthText(s.mes) + "??_*.pdf";
    }
    const std::string year = s.anio.size() >= 2 ? s.anio.substr(s.anio.size() - 2) : s.anio;
    return "???????_" + year + monthText(s.mes) + "??_*.PDF";
}

std::vector<Catalogo::Documento>
Catalogo::LlenarLvFacturas(const std::filesystem::path& carpeta,
                           const std::vector<fs::ListedFile>& archivos) {
    std::vector<Documento> out;
    for (const auto& [nombre, bytes] : archivos) {
        const NombreDocumento partes(nombre);
        const long long codigo = leadingCode(partes.trozo(0, 6));
        const std::string* cliente = indice_.cliente(codigo);
        if (cliente == nullptr) {
            continue;
        }
        const std::string& direccion = indice_.direccionCliente(codigo);
        const std::string fecha =
            partes.trozo(13, 2) + "/" + partes.trozo(11, 2) + "/" + partes.trozo(7, 4);
        const std::string numero = partes.trozo(16, 6);
        const std::string clave = partes.trozo(7, 8);
        const auto path = carpeta / nombre;

        Documento d;
        d.fila.texto = conCeros(codigo, 5) + " " + mayusculas(*cliente);
        d.fila.subitems = {direccion, fecha, numero, tamanoFactura(bytes), clave};
        d.fila.etiqueta = path.string();
        d.fila.icono = estaEnviado(nombre) ? kIconoEnviado : kIconoPendiente;
        d.busqueda = searchText({conCeros(codigo, 5), *cliente, direccion, fecha, numero,
                                 tamanoFacturaBusqueda(bytes), clave});
        out.push_back(std::move(d));
    }
    return out;
}

std::vector<Catalogo::Documento>
Catalogo::LlenarLvNomina(const std::filesystem::path& carpeta,
                         const std::vector<fs::ListedFile>& archivos) {
    std::vector<Documento> out;
    for (const auto& [nombre, bytes] : archivos) {
        const NombreDocumento partes(nombre);
        const long long codigo = leadingCode(partes.trozo(0, 7));
        const std::string* empleado = indice_.empleado(codigo);
        if (empleado == nullptr) {
            continue;
        }
        const std::string periodo = partes.trozo(8, 4);
        const std::string letra = partes.trozo(13, 1);
        const auto path = carpeta / nombre;
        const std::string tamano = tamanoNomina(bytes);
        const bool known = letra == "M" || letra == "A" || letra == "P";

        Documento d;
        d.fila.texto = conCeros(codigo, 7) + " " + mayusculas(*empleado);
        const std::string nif = partes.trozo(15, 9);
        const std::string* alternativa = indice_.direccionAlternativa(nif);
        d.fila.subitems = {alternativa != nullptr ? *alternativa : std::string(), periodo,
                           payKind(letra), tamano, ""};
        d.fila.etiqueta = path.string();
        d.fila.icono = estaEnviado(nombre) ? kIconoEnviado : kIconoPendiente;
        // A known pay kind is searchable by its word too; the last two fields are always empty.
        d.busqueda =
            known ? searchText({conCeros(codigo, 7), *empleado, periodo, letra, payKind(letra),
                                tamano, "", ""})
                  : searchText({conCeros(codigo, 7), *empleado, periodo, letra, tamano, "", ""});
        out.push_back(std::move(d));
    }
    return out;
}

const std::vector<Catalogo::Documento>& Catalogo::documentos(const SeleccionPeriodo& s) {
    const auto folder = carpeta(s);
    Periodo periodo{s.tipo,
                    s.anio,
                    s.mes,
                    fs::stampOf(folder),
                    fs::stampOf(contexto_.dbPrincipal->ruta()),
                    contexto_.dbAlternativa ? fs::stampOf(contexto_.dbAlternativa->ruta())
                                            : fs::Stamp{}};
    if (periodo_ != periodo) {
        periodo_.reset(); // a failed read must not leave stale rows marked as current
        auto listado = std::async(std::launch::async,
                                  [&folder, p = patron(s)] { return fs::listWildcard(folder, p); });
        indice_.cargar(s.tipo == kTipoFacturas ? Modo::Facturas : Modo::Nomina);
        const auto archivos = listado.get();
        documentos_ = s.tipo == kTipoFacturas ? LlenarLvFacturas(folder, archivos)
                                              : LlenarLvNomina(folder, archivos);
        periodo_ = periodo;
    }
    return documentos_;
}

EtiquetasLista Catalogo::ActualizarLista(const SeleccionPeriodo& seleccion, ListaVista& lista) {
    lista.limpiar();
    const std::string filtro = mayusculas(sinBlancos(seleccion.busqueda));
    EtiquetasLista etiquetas;
    etiquetas.detalle = filtro.empty() ? "Documentos" : "Documentos    Filtrado por: " + filtro;
    for (const auto& documento : documentos(seleccion)) {
        if (filtro.empty() || documento.busqueda.find(filtro) != std::string::npos) {
            lista.filas().push_back(documento.fila);
        }
    }
    lista.ordenar();
    etiquetas.cuenta = "Nº de documentos:  " + std::to_string(lista.cantidad());
    etiquetas.seleccionados = "Documentos seleccionadas: 0";
    return etiquetas;
}

} // namespace envio
