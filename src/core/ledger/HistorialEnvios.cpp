#include "ledger/HistorialEnvios.h"

#include "database/ErrorBaseDatos.h"
#include "database/Texto.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <stdexcept>

namespace envio {
namespace {

constexpr std::size_t kFilasPorPagina = 128;
constexpr std::size_t kPaginasGuardadas = 64;

std::string utcDeFechaLocal(const std::string& fecha, int diasDespues) {
    std::tm t{};
    t.tm_year = std::stoi(fecha.substr(0, 4)) - 1900;
    t.tm_mon = std::stoi(fecha.substr(5, 2)) - 1;
    t.tm_mday = std::stoi(fecha.substr(8, 2)) + diasDespues;
    t.tm_isdst = -1;
    const std::time_t instante = std::mktime(&t);
    std::tm utc{};
    gmtime_r(&instante, &utc);
    char texto[32];
    std::strftime(texto, sizeof texto, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return texto;
}

// The outcome and the kind are not texts of the ledger but names the history gives: a search
// for part of one matches every attempt that has it.
struct NombresCoincidentes {
    std::array<bool, 4> resultados{}; // indexed by ResultadoHistorial
    bool avisos = false;
    bool documentos = false;
};

NombresCoincidentes coincidenNombres(const std::string& buscado) {
    NombresCoincidentes nombres;
    for (const auto r : {ResultadoHistorial::Enviado, ResultadoHistorial::Rechazado,
                         ResultadoHistorial::Dudoso, ResultadoHistorial::Marcado}) {
        nombres.resultados.at(static_cast<std::size_t>(r)) =
            busquedaPlegada(nombreResultado(r)).find(buscado) != std::string::npos;
    }
    nombres.avisos = busquedaPlegada("aviso").find(buscado) != std::string::npos;
    nombres.documentos = busquedaPlegada("documento").find(buscado) != std::string::npos;
    return nombres;
}

bool marcado(const std::vector<bool>& marcas, long long id) {
    return id >= 0 && static_cast<std::size_t>(id) < marcas.size() &&
           marcas[static_cast<std::size_t>(id)];
}

} // namespace

std::string fechaValida(const std::string& texto) {
    const bool forma = texto.size() == 10 && texto[4] == '-' && texto[7] == '-' &&
                       std::all_of(texto.begin(), texto.end(), [](char c) {
                           return c == '-' || std::isdigit(static_cast<unsigned char>(c)) != 0;
                       });
    if (!forma || std::stoi(texto.substr(5, 2)) < 1 || std::stoi(texto.substr(5, 2)) > 12 ||
        std::stoi(texto.substr(8, 2)) < 1 || std::stoi(texto.substr(8, 2)) > 31) {
        throw std::invalid_argument("Fecha no válida (AAAA-MM-DD): " + texto);
    }
    return texto;
}

std::vector<std::filesystem::path>
HistorialEnvios::registrosEn(const std::filesystem::path& carpeta) {
    std::vector<std::filesystem::path> registros;
    std::error_code error;
    for (const auto& entrada : std::filesystem::directory_iterator(carpeta, error)) {
        const std::string nombre = entrada.path().filename().string();
        const std::string clave = mayusculas(nombre);
        if (clave.starts_with("REGISTRO-ENVIOS.") && clave.ends_with(".DB") &&
            entrada.is_regular_file(error)) {
            registros.push_back(entrada.path());
        }
    }
    std::sort(registros.begin(), registros.end());
    return registros;
}

HistorialEnvios::HistorialEnvios(const std::filesystem::path& carpetaPrograma) {
    for (const auto& registro : registrosEn(carpetaPrograma)) {
        try {
            fuentes_.push_back(std::make_unique<FuenteHistorial>(registro));
        } catch (const ErrorBaseDatos& error) {
            omitidos_.emplace_back(error.what());
        }
    }
}

HistorialEnvios::~HistorialEnvios() = default;

// Each ledger comes sorted; they are merged by their sort keys, the earlier ledger first on a tie.
std::vector<HistorialEnvios::Clave>
HistorialEnvios::unir(const FuenteHistorial::Seleccion& seleccion) {
    std::vector<Clave> claves;
    if (fuentes_.size() == 1) {
        for (const auto& c : fuentes_.front()->claves(seleccion, nullptr)) {
            claves.push_back({0, c.resultado, c.id});
        }
        return claves;
    }
    std::vector<std::vector<FuenteHistorial::Clave>> porFuente;
    std::vector<std::vector<std::string>> orden(fuentes_.size());
    std::size_t total = 0;
    for (std::size_t f = 0; f < fuentes_.size(); ++f) {
        porFuente.push_back(fuentes_[f]->claves(seleccion, &orden[f]));
        total += porFuente.back().size();
    }
    claves.reserve(total);
    std::vector<std::size_t> siguiente(porFuente.size(), 0);
    while (claves.size() < total) {
        std::size_t elegida = porFuente.size();
        for (std::size_t f = 0; f < porFuente.size(); ++f) {
            if (siguiente[f] == porFuente[f].size()) {
                continue;
            }
            if (elegida == porFuente.size()) {
                elegida = f;
                continue;
            }
            const std::string& candidata = orden[f][siguiente[f]];
            const std::string& actual = orden[elegida][siguiente[elegida]];
            if (seleccion.descendente ? actual < candidata : candidata < actual) {
                elegida = f;
            }
        }
        const auto& c = porFuente[elegida][siguiente[elegida]++];
        claves.push_back({static_cast<int>(elegida), c.resultado, c.id});
    }
    return claves;
}

const std::vector<HistorialEnvios::Clave>&
HistorialEnvios::listado(const FuenteHistorial::Seleccion& seleccion) {
    std::vector<long long> versiones;
    for (auto& fuente : fuentes_) {
        versiones.push_back(fuente->version());
    }
    if (!listado_ || listado_->seleccion != seleccion || listado_->versiones != versiones) {
        listado_ = Listado{seleccion, versiones, unir(seleccion)};
    }
    return listado_->claves;
}

void HistorialEnvios::filtrar(const std::vector<Clave>& todas, const std::string& buscado) {
    const NombresCoincidentes nombres = coincidenNombres(buscado);
    std::vector<std::vector<bool>> marcas;
    std::vector<std::vector<bool>> avisos;
    for (auto& fuente : fuentes_) {
        marcas.push_back(fuente->coincidentes(buscado));
        avisos.push_back(nombres.avisos || nombres.documentos ? fuente->avisos()
                                                              : std::vector<bool>());
    }
    for (const Clave& c : todas) {
        const auto o = static_cast<std::size_t>(c.origen);
        const bool aviso = marcado(avisos[o], c.id);
        if (marcado(marcas[o], c.id) ||
            nombres.resultados.at(static_cast<std::size_t>(c.resultado)) ||
            (aviso ? nombres.avisos : nombres.documentos)) {
            filtradas_.push_back(c);
        }
    }
}

void HistorialEnvios::consultar(const FiltroHistorial& filtro, ColumnaHistorial orden,
                                bool descendente) {
    FuenteHistorial::Seleccion seleccion;
    seleccion.desde =
        filtro.desde.empty() ? std::string() : utcDeFechaLocal(fechaValida(filtro.desde), 0);
    seleccion.hasta =
        filtro.hasta.empty() ? std::string("~") : utcDeFechaLocal(fechaValida(filtro.hasta), 1);
    seleccion.resultado = filtro.resultado;
    seleccion.orden = orden;
    seleccion.descendente = descendente;
    const std::string buscado = busquedaPlegada(filtro.texto);
    const auto& todas = listado(seleccion);
    filtradas_.clear();
    paginas_.clear();
    if (buscado.empty()) {
        mostradas_ = &todas;
    } else {
        filtrar(todas, buscado);
        mostradas_ = &filtradas_;
    }
    totales_ = {};
    for (const Clave& c : *mostradas_) {
        ++totales_.porResultado.at(static_cast<std::size_t>(c.resultado));
    }
    totales_.filas = mostradas_->size();
}

const FilaHistorial& HistorialEnvios::fila(std::size_t indice) {
    const std::size_t pagina = indice / kFilasPorPagina;
    auto encontrada = paginas_.find(pagina);
    if (encontrada == paginas_.end()) {
        if (paginas_.size() >= kPaginasGuardadas) {
            paginas_.clear();
        }
        std::vector<FilaHistorial> filas;
        const std::size_t fin = std::min(mostradas_->size(), (pagina + 1) * kFilasPorPagina);
        for (std::size_t i = pagina * kFilasPorPagina; i < fin; ++i) {
            const Clave& c = (*mostradas_)[i];
            filas.push_back(fuentes_.at(static_cast<std::size_t>(c.origen))->fila(c.id));
        }
        encontrada = paginas_.emplace(pagina, std::move(filas)).first;
    }
    return encontrada->second.at(indice % kFilasPorPagina);
}

std::string textoConstancia(const FilaHistorial& f) {
    const std::string fecha =
        f.hora.size() >= 19
            ? f.hora.substr(8, 2) + "/" + f.hora.substr(5, 2) + "/" + f.hora.substr(0, 4)
            : f.hora;
    const std::string hora = f.hora.size() >= 19 ? f.hora.substr(11, 8) : std::string();
    const std::string que =
        f.aviso ? "una comunicación masiva" : "el documento " + nombreArchivoEnviado(f);
    const std::string quien = f.destinatario.empty() ? "<" + f.direccion + ">"
                                                     : f.destinatario + " <" + f.direccion + ">";
    const std::string cuando = "El " + fecha + (hora.empty() ? "" : " a las " + hora);
    const std::string respuesta =
        f.respuesta.empty() ? "sin respuesta del servidor" : "«" + f.respuesta + "»";
    const std::string mensaje = f.messageId.empty()
                                    ? std::string()
                                    : " El identificador del mensaje es " + f.messageId + ".";
    switch (f.resultado) {
    case ResultadoHistorial::Enviado:
    case ResultadoHistorial::Marcado:
        return cuando + " se envió " + que + " a " + quien +
               ". El servidor de correo lo aceptó y respondió " + respuesta + "." + mensaje;
    case ResultadoHistorial::Rechazado:
        return cuando + " se intentó enviar " + que + " a " + quien +
               ", pero no se envió: " + respuesta + "." + mensaje;
    case ResultadoHistorial::Dudoso:
        break;
    }
    return cuando + " se envió " + que + " a " + quien +
           ", pero no llegó la respuesta del servidor de correo (" + respuesta +
           "): puede que lo haya recibido." + mensaje;
}

namespace {

std::string campoCsv(const std::string& valor) {
    if (valor.find_first_of(";\"\r\n") == std::string::npos) {
        return valor;
    }
    std::string out = "\"";
    for (const char c : valor) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    return out + "\"";
}

} // namespace

std::string csvHistorial(HistorialEnvios& historial) {
    std::string csv = "\xEF\xBB\xBF";
    const auto& titulos = titulosHistorial();
    for (std::size_t c = 0; c < titulos.size(); ++c) {
        csv += (c == 0 ? "" : ";") + campoCsv(std::string(titulos[c]));
    }
    csv += "\r\n";
    for (std::size_t i = 0; i < historial.cantidad(); ++i) {
        const FilaHistorial& f = historial.fila(i);
        for (std::size_t c = 0; c < kColumnasHistorial; ++c) {
            csv +=
                (c == 0 ? "" : ";") + campoCsv(textoColumna(f, static_cast<ColumnaHistorial>(c)));
        }
        csv += "\r\n";
    }
    return csv;
}

} // namespace envio
