#include "ledger/HistorialEnvios.h"

#include "database/ErrorBaseDatos.h"
#include "database/Texto.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <sqlite3.h>
#include <stdexcept>

namespace envio {
namespace {

constexpr std::size_t kFilasPorPagina = 128;
constexpr std::size_t kPaginasGuardadas = 64;

// How each ledger's attempt reads in the history; `res` is a ResultadoHistorial.
const std::string& columnasVista() {
    static const std::string columnas =
        "hora, documento, destinatario, nombre_listado, message_id, respuesta, renombrado_a, "
        "substr(documento, 1, " +
        std::to_string(kPrefijoAviso.size()) + ") = '" + std::string(kPrefijoAviso) +
        "' AS aviso, CASE resultado WHEN 'rechazado' THEN 1 WHEN 'aceptado' THEN (CASE WHEN "
        "renombrado_al_iniciar THEN 3 ELSE 0 END) ELSE 2 END AS res";
    return columnas;
}

std::string text(sqlite3_stmt* s, int column) {
    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
    return t == nullptr ? std::string() : std::string(t);
}

std::string nombreArchivo(const std::string& ruta) {
    const auto barra = ruta.find_last_of("/\\");
    return barra == std::string::npos ? ruta : ruta.substr(barra + 1);
}

// SQLite takes the ledger's path as a URI so that it can be opened read-only through ATTACH.
std::string uriDe(const std::filesystem::path& archivo) {
    std::string uri = "file:";
    for (const unsigned char c : archivo.string()) {
        if (std::isalnum(c) != 0 || c == '/' || c == '.' || c == '-' || c == '_') {
            uri += static_cast<char>(c);
        } else {
            static constexpr char kHex[] = "0123456789ABCDEF";
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 0xF];
        }
    }
    return uri + "?mode=ro";
}

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

std::string horaLocal(const std::string& utc) {
    std::tm t{};
    if (strptime(utc.c_str(), "%Y-%m-%dT%H:%M:%SZ", &t) == nullptr) {
        return utc;
    }
    const std::time_t instante = timegm(&t);
    std::tm local{};
    localtime_r(&instante, &local);
    char texto[32];
    std::strftime(texto, sizeof texto, "%Y-%m-%d %H:%M:%S", &local);
    return texto;
}

std::string_view textoValor(sqlite3_value* v) {
    const auto* t = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return t == nullptr ? std::string_view() : std::string_view(t);
}

// coincide(buscado, texts...): whether the attempt's texts, as the window shows them, hold the
// searched text once case and accents are set aside. The scan for a ledger without the index.
void coincide(sqlite3_context* contexto, int /*argc*/, sqlite3_value** argv) {
    const std::string texto =
        textoBuscable({textoValor(argv[1]), textoValor(argv[2]), textoValor(argv[3]),
                       textoValor(argv[4]), textoValor(argv[5]), textoValor(argv[6])});
    sqlite3_result_int(contexto, texto.find(textoValor(argv[0])) != std::string::npos ? 1 : 0);
}

constexpr const char* kCoincide = "coincide(?4, nombre_listado, destinatario, documento, "
                                  "renombrado_a, respuesta, message_id)";

std::size_t caracteres(std::string_view utf8) {
    return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// The search as an FTS5 phrase: with trigrams, a phrase matches where the text holds it whole.
std::string frase(std::string_view buscado) {
    std::string out = "\"";
    for (const char c : buscado) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    return out + "\"";
}

// The outcome and the kind are not texts of the ledger but names the history gives: they match
// by value.
std::string coincidenNombres(const std::string& buscado) {
    std::string valores;
    for (const auto r : {ResultadoHistorial::Enviado, ResultadoHistorial::Rechazado,
                         ResultadoHistorial::Dudoso, ResultadoHistorial::Marcado}) {
        if (busquedaPlegada(nombreResultado(r)).find(buscado) != std::string::npos) {
            valores += (valores.empty() ? "" : ", ") + std::to_string(static_cast<int>(r));
        }
    }
    std::string condicion = valores.empty() ? std::string() : "res IN (" + valores + ")";
    for (const bool aviso : {false, true}) {
        if (busquedaPlegada(aviso ? "aviso" : "documento").find(buscado) != std::string::npos) {
            condicion +=
                std::string(condicion.empty() ? "" : " OR ") + (aviso ? "" : "NOT ") + "aviso";
        }
    }
    return condicion;
}

const char* ordenDe(ColumnaHistorial columna) {
    switch (columna) {
    case ColumnaHistorial::Hora:
        return "hora";
    case ColumnaHistorial::Tipo:
        return "aviso";
    case ColumnaHistorial::Destinatario:
        return "nombre_listado";
    case ColumnaHistorial::Direccion:
        return "destinatario";
    case ColumnaHistorial::Documento:
        return "documento";
    case ColumnaHistorial::EnviadoComo:
        return "renombrado_a";
    case ColumnaHistorial::Resultado:
        return "res";
    case ColumnaHistorial::Respuesta:
        return "respuesta";
    case ColumnaHistorial::MessageId:
        return "message_id";
    }
    return "hora";
}

class Sentencia {
public:
    Sentencia(sqlite3* db, const std::string& sql) : db_(db) {
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s_, nullptr) != SQLITE_OK) {
            fallo();
        }
    }
    ~Sentencia() { sqlite3_finalize(s_); }
    Sentencia(const Sentencia&) = delete;
    Sentencia& operator=(const Sentencia&) = delete;
    sqlite3_stmt* get() { return s_; }
    bool paso() {
        const int rc = sqlite3_step(s_);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
            fallo();
        }
        return rc == SQLITE_ROW;
    }
    [[noreturn]] void fallo() const {
        throw ErrorBaseDatos(std::string("No se pudo leer el historial de envíos: ") +
                             sqlite3_errmsg(db_));
    }

private:
    sqlite3* db_;
    sqlite3_stmt* s_ = nullptr;
};

void ejecutar(sqlite3* db, const std::string& sql) {
    Sentencia s(db, sql);
    s.paso();
}

} // namespace

std::string_view nombreResultado(ResultadoHistorial resultado) {
    switch (resultado) {
    case ResultadoHistorial::Enviado:
        return "enviado";
    case ResultadoHistorial::Rechazado:
        return "rechazado";
    case ResultadoHistorial::Dudoso:
        return "dudoso";
    case ResultadoHistorial::Marcado:
        return "marcado";
    }
    return "dudoso";
}

std::optional<ResultadoHistorial> resultadoPorNombre(std::string_view nombre) {
    for (const auto r : {ResultadoHistorial::Enviado, ResultadoHistorial::Rechazado,
                         ResultadoHistorial::Dudoso, ResultadoHistorial::Marcado}) {
        if (nombreResultado(r) == nombre) {
            return r;
        }
    }
    return std::nullopt;
}

const std::array<std::string_view, kColumnasHistorial>& titulosHistorial() {
    static const std::array<std::string_view, kColumnasHistorial> titulos = {
        "Fecha y hora",     "Tipo",      "Destinatario",           "Dirección", "Documento",
        "Nombre al enviar", "Resultado", "Respuesta del servidor", "Message-ID"};
    return titulos;
}

std::string textoColumna(const FilaHistorial& f, ColumnaHistorial columna) {
    switch (columna) {
    case ColumnaHistorial::Hora:
        return f.hora;
    case ColumnaHistorial::Tipo:
        return f.aviso ? "aviso" : "documento";
    case ColumnaHistorial::Destinatario:
        return f.destinatario;
    case ColumnaHistorial::Direccion:
        return f.direccion;
    case ColumnaHistorial::Documento:
        return f.aviso ? f.documento : nombreArchivo(f.documento);
    case ColumnaHistorial::EnviadoComo:
        return nombreArchivo(f.enviadoComo);
    case ColumnaHistorial::Resultado:
        return std::string(nombreResultado(f.resultado));
    case ColumnaHistorial::Respuesta:
        return f.respuesta;
    case ColumnaHistorial::MessageId:
        return f.messageId;
    }
    return {};
}

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
    if (sqlite3_open_v2(":memory:", &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI, nullptr) !=
        SQLITE_OK) {
        sqlite3_close(db_);
        throw ErrorBaseDatos("No se pudo abrir el historial de envíos: sin memoria");
    }
    // A sending run holds its ledger for one short write at a time.
    sqlite3_busy_timeout(db_, 5000);
    sqlite3_create_function(db_, "coincide", 7, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                            coincide, nullptr, nullptr);
    try {
        int origen = 0;
        for (const auto& registro : registrosEn(carpetaPrograma)) {
            fuentes_.push_back(adjuntar(registro, origen));
            ++origen;
        }
    } catch (...) {
        for (auto* s : lecturas_) {
            sqlite3_finalize(s);
        }
        sqlite3_close(db_);
        throw;
    }
}

HistorialEnvios::~HistorialEnvios() {
    for (auto* s : lecturas_) {
        sqlite3_finalize(s);
    }
    sqlite3_close(db_);
}

// A ledger written by an older version lacks the later columns: they read as their defaults.
HistorialEnvios::Fuente HistorialEnvios::adjuntar(const std::filesystem::path& registro,
                                                  int origen) {
    const std::string esquema = "r" + std::to_string(origen);
    {
        Sentencia s(db_, "ATTACH ? AS " + esquema);
        sqlite3_bind_text(s.get(), 1, uriDe(registro).c_str(), -1, SQLITE_TRANSIENT);
        s.paso();
    }
    std::vector<std::string> columnas;
    {
        Sentencia s(db_, "PRAGMA " + esquema + ".table_info(intentos)");
        while (s.paso()) {
            columnas.push_back(text(s.get(), 1));
        }
    }
    if (columnas.empty()) {
        throw ErrorBaseDatos("No se pudo leer el registro de envíos " + registro.string());
    }
    const auto tiene = [&columnas](const char* c) {
        return std::find(columnas.begin(), columnas.end(), c) != columnas.end();
    };
    std::string tabla = esquema + ".intentos";
    if (!tiene("nombre_listado") || !tiene("renombrado_al_iniciar")) {
        tabla = esquema + "_intentos";
        ejecutar(db_, "CREATE TEMP VIEW " + tabla + " AS SELECT *, " +
                          (tiene("nombre_listado") ? "" : "'' AS nombre_listado, ") +
                          (tiene("renombrado_al_iniciar") ? "" : "0 AS renombrado_al_iniciar, ") +
                          "0 AS relleno FROM " + esquema + ".intentos");
    }
    sqlite3_stmt* s = nullptr;
    const std::string sql = "SELECT " + columnasVista() + " FROM " + tabla + " WHERE id = ?";
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
        throw ErrorBaseDatos(std::string("No se pudo leer el historial de envíos: ") +
                             sqlite3_errmsg(db_));
    }
    lecturas_.push_back(s);
    bool indexado = false;
    {
        Sentencia hay(db_, "SELECT 1 FROM " + esquema +
                               ".sqlite_master WHERE type = 'table' AND name = 'busqueda'");
        indexado = hay.paso();
    }
    return {"SELECT " + std::to_string(origen) + " AS origen, id, " + columnasVista() + " FROM " +
                tabla,
            esquema, indexado};
}

// Which of a ledger's attempts hold the searched text: through its index when it has one, by
// reading every attempt when it was written by a version without it (the history only reads a
// ledger, it never migrates one). Trigrams need three characters; a shorter search reads the
// index's folded texts, which still spares folding every row.
std::string HistorialEnvios::condicionBusqueda(const Fuente& fuente,
                                               const std::string& buscado) const {
    std::string condicion = coincidenNombres(buscado);
    const auto o = [&condicion] { return condicion.empty() ? "" : " OR "; };
    if (!fuente.indexado || buscado.find(kSeparadorBuscable) != std::string::npos) {
        return condicion + o() + kCoincide;
    }
    const std::string indice = fuente.esquema + ".busqueda";
    condicion += o() + std::string("id IN (SELECT rowid FROM ") + indice + " WHERE " +
                 (caracteres(buscado) >= 3 ? "texto MATCH ?5)" : "instr(texto, ?4))");
    // What an older version wrote after the index was built, until this version indexes it.
    condicion += " OR (id > coalesce((SELECT rowid FROM " + indice +
                 " ORDER BY rowid DESC LIMIT 1), 0) AND " + kCoincide + ")";
    return condicion;
}

void HistorialEnvios::consultar(const FiltroHistorial& filtro, ColumnaHistorial orden,
                                bool descendente) {
    const std::string desde =
        filtro.desde.empty() ? std::string() : utcDeFechaLocal(fechaValida(filtro.desde), 0);
    const std::string hasta =
        filtro.hasta.empty() ? std::string("~") : utcDeFechaLocal(fechaValida(filtro.hasta), 1);
    const std::string buscado = busquedaPlegada(filtro.texto);
    std::string historial;
    for (const auto& fuente : fuentes_) {
        historial += (historial.empty() ? "" : " UNION ALL ") + std::string("SELECT * FROM (") +
                     fuente.consulta + ")" +
                     (buscado.empty() ? "" : " WHERE " + condicionBusqueda(fuente, buscado));
    }
    if (historial.empty()) {
        historial = "SELECT 0 AS origen, 0 AS id, '' AS hora, '' AS documento, '' AS "
                    "destinatario, '' AS nombre_listado, '' AS message_id, '' AS respuesta, NULL "
                    "AS renombrado_a, 0 AS aviso, 0 AS res WHERE 0";
    }
    std::string sql =
        "SELECT origen, id, res FROM (" + historial + ") WHERE hora >= ?1 AND hora < ?2";
    if (filtro.resultado) {
        sql += " AND res = ?3";
    }
    const char* sentido = descendente ? " DESC" : "";
    // Ties keep the index's order: an extra key would make SQLite sort every row again.
    sql += std::string(" ORDER BY ") + ordenDe(orden) + sentido;
    if (orden != ColumnaHistorial::Hora) {
        sql += std::string(", hora") + sentido;
    }

    Sentencia s(db_, sql);
    sqlite3_bind_text(s.get(), 1, desde.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(s.get(), 2, hasta.c_str(), -1, SQLITE_TRANSIENT);
    if (filtro.resultado) {
        sqlite3_bind_int(s.get(), 3, static_cast<int>(*filtro.resultado));
    }
    sqlite3_bind_text(s.get(), 4, buscado.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(s.get(), 5, frase(buscado).c_str(), -1, SQLITE_TRANSIENT);
    claves_.clear();
    paginas_.clear();
    totales_ = {};
    while (s.paso()) {
        claves_.push_back({sqlite3_column_int(s.get(), 0), sqlite3_column_int64(s.get(), 1)});
        const auto res = static_cast<std::size_t>(sqlite3_column_int(s.get(), 2));
        ++totales_.porResultado.at(res);
    }
    totales_.filas = claves_.size();
}

const FilaHistorial& HistorialEnvios::fila(std::size_t indice) {
    const std::size_t pagina = indice / kFilasPorPagina;
    auto encontrada = paginas_.find(pagina);
    if (encontrada == paginas_.end()) {
        if (paginas_.size() >= kPaginasGuardadas) {
            paginas_.clear();
        }
        std::vector<FilaHistorial> filas;
        const std::size_t fin = std::min(claves_.size(), (pagina + 1) * kFilasPorPagina);
        for (std::size_t i = pagina * kFilasPorPagina; i < fin; ++i) {
            filas.push_back(leerFila(claves_[i]));
        }
        encontrada = paginas_.emplace(pagina, std::move(filas)).first;
    }
    return encontrada->second.at(indice % kFilasPorPagina);
}

FilaHistorial HistorialEnvios::leerFila(const Clave& clave) {
    sqlite3_stmt* s = lecturas_.at(static_cast<std::size_t>(clave.origen));
    sqlite3_reset(s);
    sqlite3_bind_int64(s, 1, clave.id);
    FilaHistorial f;
    if (sqlite3_step(s) != SQLITE_ROW) {
        // The attempt was there when the list was made; a ledger is never pruned.
        f.respuesta = "(no se pudo leer)";
        return f;
    }
    f.hora = horaLocal(text(s, 0));
    f.documento = text(s, 1);
    f.direccion = text(s, 2);
    f.destinatario = text(s, 3);
    f.messageId = text(s, 4);
    f.respuesta = text(s, 5);
    f.enviadoComo = text(s, 6);
    f.aviso = sqlite3_column_int(s, 7) != 0;
    f.resultado = static_cast<ResultadoHistorial>(sqlite3_column_int(s, 8));
    if (f.aviso && f.destinatario.empty()) {
        // Ledgers older than the recipient's column: a notice's label names its recipient.
        f.destinatario = f.documento.substr(std::string_view(kPrefijoAviso).size());
    }
    sqlite3_reset(s);
    return f;
}

std::string textoConstancia(const FilaHistorial& f) {
    const std::string fecha =
        f.hora.size() >= 19
            ? f.hora.substr(8, 2) + "/" + f.hora.substr(5, 2) + "/" + f.hora.substr(0, 4)
            : f.hora;
    const std::string hora = f.hora.size() >= 19 ? f.hora.substr(11, 8) : std::string();
    const std::string que =
        f.aviso
            ? "una comunicación masiva"
            : "el documento " + nombreArchivo(f.enviadoComo.empty() ? f.documento : f.enviadoComo);
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
