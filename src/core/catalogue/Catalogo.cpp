#include "catalogue/Catalogo.h"

#include "catalogue/TextosNumericos.h"
#include "database/Texto.h"
#include "ledger/DocumentosDudosos.h"
#include "settings/NumeroInicial.h"
#include "settings/Windows1252.h"

#include <algorithm>
#include <future>
#include <initializer_list>
#include <string_view>

namespace envio {
namespace {

std::string textoMes(int mes) {
    return mes >= 1 && mes <= 12 ? conCeros(mes, 2) : "??";
}

long long codigoInicial(std::string_view texto) {
    return redondearAPar(NumeroInicial(texto));
}

// The text that the search box is matched against: every field after a "#", in capitals.
std::string textoDeBusqueda(std::initializer_list<std::string_view> campos) {
    std::string texto;
    for (const auto campo : campos) {
        texto += '#';
        texto += campo;
    }
    return mayusculas(texto);
}

std::string clasePago(const std::string& letra) {
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
        return "??????_" + s.anio + textoMes(s.mes) + "??_*.pdf";
    }
    const std::string anio = s.anio.size() >= 2 ? s.anio.substr(s.anio.size() - 2) : s.anio;
    return "???????_" + anio + textoMes(s.mes) + "??_*.PDF";
}

std::vector<Catalogo::Archivo>
Catalogo::prepararFacturas(const std::filesystem::path& carpeta,
                           const std::vector<fs::ListedFile>& archivos) {
    std::vector<Archivo> preparados;
    preparados.reserve(archivos.size());
    for (const auto& [nombre, bytes] : archivos) {
        const NombreDocumento partes(nombre);
        const std::string fecha =
            partes.trozo(13, 2) + "/" + partes.trozo(11, 2) + "/" + partes.trozo(7, 4);
        const std::string numero = partes.trozo(16, 6);
        const std::string clave = partes.trozo(7, 8);

        Archivo a;
        a.codigo = codigoInicial(partes.trozo(0, 6));
        FilaLista& fila = a.documento.fila;
        fila.subitems = {"", fecha, numero, tamanoFactura(bytes), clave};
        fila.etiqueta = (carpeta / nombre).string();
        fila.icono = estaEnviado(nombre) ? kIconoEnviado : kIconoPendiente;
        a.documento.busqueda =
            textoDeBusqueda({fecha, numero, tamanoFacturaBusqueda(bytes), clave});
        preparados.push_back(std::move(a));
    }
    return preparados;
}

std::vector<Catalogo::Documento> Catalogo::LlenarLvFacturas(std::vector<Archivo> archivos) {
    std::vector<Documento> conocidos;
    conocidos.reserve(archivos.size());
    for (auto& a : archivos) {
        const std::string* cliente = indice_.cliente(a.codigo);
        if (cliente == nullptr) {
            continue;
        }
        const std::string& direccion = indice_.direccionCliente(a.codigo);
        const std::string codigo = conCeros(a.codigo, 5);
        const std::string nombre = mayusculas(*cliente);
        Documento d = std::move(a.documento);
        d.fila.texto.append(codigo).append(" ").append(nombre);
        d.fila.subitems[0] = direccion;
        d.busqueda.insert(0, textoDeBusqueda({codigo, nombre, direccion}));
        conocidos.push_back(std::move(d));
    }
    return conocidos;
}

std::vector<Catalogo::Archivo>
Catalogo::prepararNominas(const std::filesystem::path& carpeta,
                          const std::vector<fs::ListedFile>& archivos) {
    std::vector<Archivo> preparados;
    preparados.reserve(archivos.size());
    for (const auto& [nombre, bytes] : archivos) {
        const NombreDocumento partes(nombre);
        const std::string periodo = partes.trozo(8, 4);
        const std::string letra = partes.trozo(13, 1);
        const std::string tamano = tamanoNomina(bytes);
        const bool conocida = letra == "M" || letra == "A" || letra == "P";

        Archivo a;
        a.codigo = codigoInicial(partes.trozo(0, 7));
        a.nif = partes.trozo(15, 9);
        FilaLista& fila = a.documento.fila;
        fila.subitems = {"", periodo, clasePago(letra), tamano, ""};
        fila.etiqueta = (carpeta / nombre).string();
        fila.icono = estaEnviado(nombre) ? kIconoEnviado : kIconoPendiente;
        // A known pay kind is searchable by its word too; the last two fields are always empty.
        a.documento.busqueda =
            conocida ? textoDeBusqueda({periodo, letra, clasePago(letra), tamano, "", ""})
                     : textoDeBusqueda({periodo, letra, tamano, "", ""});
        preparados.push_back(std::move(a));
    }
    return preparados;
}

std::vector<Catalogo::Documento> Catalogo::LlenarLvNomina(std::vector<Archivo> archivos) {
    std::vector<Documento> conocidos;
    conocidos.reserve(archivos.size());
    for (auto& a : archivos) {
        const std::string* empleado = indice_.empleado(a.codigo);
        if (empleado == nullptr) {
            continue;
        }
        const std::string codigo = conCeros(a.codigo, 7);
        const std::string nombre = mayusculas(*empleado);
        const std::string* alternativa = indice_.direccionAlternativa(a.nif);
        Documento d = std::move(a.documento);
        d.fila.texto.append(codigo).append(" ").append(nombre);
        d.fila.subitems[0] = alternativa != nullptr ? *alternativa : std::string();
        d.busqueda.insert(0, textoDeBusqueda({codigo, nombre}));
        conocidos.push_back(std::move(d));
    }
    return conocidos;
}

const std::vector<Catalogo::Documento>& Catalogo::documentos(const SeleccionPeriodo& s) {
    const auto carpetaPeriodo = carpeta(s);
    Periodo periodo{s.tipo,
                    s.anio,
                    s.mes,
                    fs::stampOf(carpetaPeriodo),
                    fs::stampOf(contexto_.dbPrincipal->ruta()),
                    contexto_.dbAlternativa ? fs::stampOf(contexto_.dbAlternativa->ruta())
                                            : fs::Stamp{}};
    if (periodo_ != periodo) {
        periodo_.reset(); // a failed read must not leave stale rows marked as current
        const bool facturas = s.tipo == kTipoFacturas;
        auto listado = std::async(std::launch::async, [&carpetaPeriodo, p = patron(s), facturas] {
            const auto archivos = fs::listWildcard(carpetaPeriodo, p);
            return facturas ? prepararFacturas(carpetaPeriodo, archivos)
                            : prepararNominas(carpetaPeriodo, archivos);
        });
        indice_.cargar(facturas ? Modo::Facturas : Modo::Nomina);
        auto archivos = listado.get();
        documentos_ =
            facturas ? LlenarLvFacturas(std::move(archivos)) : LlenarLvNomina(std::move(archivos));
        marcarDudosos(documentos_);
        periodo_ = periodo;
    }
    return documentos_;
}

// A pending document that a stopped run may have mailed says so in the list. Read with the
// folder, not at each keystroke: on a share the claims are a file read each. The list stays
// usable when the ledger cannot be read: the run that would send them asks again anyway.
void Catalogo::marcarDudosos(std::vector<Documento>& documentos) const {
    try {
        RegistroEnvios registro(RegistroEnvios::archivoEn(contexto_.carpeta.ruta()));
        const DocumentosDudosos dudosos(registro,
                                        Reservas(contexto_.carpeta.ruta(), currentProcess()));
        for (auto& documento : documentos) {
            if (documento.fila.icono == kIconoPendiente) {
                documento.fila.dudoso = dudosos.motivo(documento.fila.etiqueta).value_or("");
            }
        }
    } catch (const std::exception&) {
    }
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
