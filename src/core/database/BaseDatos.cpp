#include "database/BaseDatos.h"

#include "database/ConsultaSql.h"
#include "database/EvaluarConsulta.h"
#include "platform/MotorJet.h"
#include "platform/MotorSqlite.h"

#include <fstream>

namespace envio {
namespace {

constexpr std::size_t kJetPage = 2048; // the smaller of the two Jet page sizes

std::string leerCabecera(const std::filesystem::path& archivo) {
    std::ifstream entrada(archivo, std::ios::binary);
    if (!entrada) {
        throw ErrorBaseDatos("No se pudo abrir la base de datos " + archivo.string() +
                             ": no existe o no se puede leer");
    }
    std::string bytes(32, '\0');
    entrada.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(entrada.gcount()));
    return bytes;
}

} // namespace

FormatoBaseDatos formatoDe(std::string_view cabecera) {
    if (cabecera.starts_with(std::string_view("SQLite format 3\0", 16))) {
        return FormatoBaseDatos::Sqlite;
    }
    if (cabecera.size() >= 20 && cabecera[0] == '\0' &&
        (cabecera.substr(4, 15) == "Standard Jet DB" ||
         cabecera.substr(4, 15) == "Standard ACE DB")) {
        return FormatoBaseDatos::Jet;
    }
    return FormatoBaseDatos::Desconocido;
}

std::unique_ptr<BaseDatos> BaseDatos::abrir(const std::filesystem::path& archivo) {
    std::error_code error;
    if (std::filesystem::is_directory(archivo, error)) {
        throw ErrorBaseDatos("No se pudo abrir la base de datos " + archivo.string() +
                             ": es una carpeta");
    }
    switch (formatoDe(leerCabecera(archivo))) {
    case FormatoBaseDatos::Sqlite:
        return std::make_unique<BaseDatos>(archivo, std::make_unique<MotorSqlite>(archivo));
    case FormatoBaseDatos::Jet: {
        // libmdb reads whole pages; a file cut short is damaged before it ever gets there.
        const auto tamano = std::filesystem::file_size(archivo, error);
        if (error || tamano < 3 * kJetPage || tamano % kJetPage != 0) {
            throw ErrorBaseDatos("No se pudo abrir la base de datos " + archivo.string() +
                                 ": el archivo está incompleto o dañado");
        }
        return std::make_unique<BaseDatos>(archivo, std::make_unique<MotorJet>(archivo));
    }
    case FormatoBaseDatos::Desconocido:
        break;
    }
    throw ErrorBaseDatos("No se pudo abrir la base de datos " + archivo.string() +
                         ": no es una base de datos de Access ni de SQLite");
}

std::unique_ptr<BaseDatos> BaseDatos::crear(const std::filesystem::path& archivo) {
    return std::make_unique<BaseDatos>(archivo, std::make_unique<MotorSqlite>(archivo, true));
}

BaseDatos::BaseDatos(std::filesystem::path archivo, std::unique_ptr<MotorBaseDatos> motor)
    : archivo_(std::move(archivo)), motor_(std::move(motor)) {}

Registros BaseDatos::abrirRegistros(std::string_view sql) {
    const ConsultaSql consulta = analizarSql(sql);
    if (consulta.tipo != ConsultaSql::Tipo::Seleccion) {
        throw ErrorSql("Se esperaba una consulta SELECT: " + std::string(sql));
    }
    return Registros(
        evaluarConsulta(consulta, motor_->leerTabla(consulta.tabla, camposNecesarios(consulta))));
}

void BaseDatos::ejecutar(std::string_view sql) {
    const ConsultaSql consulta = analizarSql(sql);
    if (consulta.tipo != ConsultaSql::Tipo::Borrado) {
        throw ErrorSql("Sólo se ejecutan instrucciones DELETE: " + std::string(sql));
    }
    motor_->borrarTodo(consulta.tabla);
}

void BaseDatos::agregarRegistro(std::string_view tabla,
                                const std::vector<std::pair<std::string, Valor>>& campos) {
    motor_->agregarRegistro(tabla, campos);
}

std::vector<std::string> BaseDatos::tablas() {
    return motor_->tablas();
}

void BaseDatos::crearTabla(const DefinicionTabla& definicion) {
    motor_->crearTabla(definicion);
}

} // namespace envio
