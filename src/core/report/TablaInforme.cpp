#include "report/TablaInforme.h"

#include "report/TablaTrabajo.h"

namespace envio {

TablaInforme::TablaInforme(const std::filesystem::path& baseDatos)
    : db_(std::make_unique<MotorSqlite>(baseDatos)) {
    db_->escribirSinEsperarDisco();
    db_->borrarTodo(kTablaInforme);
}

TablaInforme::~TablaInforme() {
    try {
        guardar();
    } catch (const ErrorBaseDatos&) {
    }
}

void TablaInforme::agregar(const std::string& campo1, const std::string& campo2,
                           const std::string& campo3) {
    anadir({{"CAMPO1", Valor::texto(acortarCampo(campo1))},
            {"CAMPO2", Valor::texto(acortarCampo(campo2))},
            {"CAMPO3", Valor::texto(acortarCampo(campo3))}});
}

void TablaInforme::agregar(const std::string& campo1, const std::string& campo2) {
    anadir({{"CAMPO1", Valor::texto(acortarCampo(campo1))},
            {"CAMPO2", Valor::texto(acortarCampo(campo2))}});
}

void TablaInforme::anadir(MotorSqlite::Registro fila) {
    pendientes_.push_back(std::move(fila));
    ++filas_;
    if (pendientes_.size() >= kLote) {
        guardar();
    }
}

void TablaInforme::guardar() {
    // Taken out first: a batch that failed is not tried again by every later row.
    const auto lote = std::move(pendientes_);
    pendientes_.clear();
    db_->agregarRegistros(kTablaInforme, lote);
}

} // namespace envio
