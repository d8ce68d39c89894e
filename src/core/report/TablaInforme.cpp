#include "report/TablaInforme.h"

#include "report/TablaTrabajo.h"

namespace envio {

TablaInforme::TablaInforme(const std::filesystem::path& baseDatos)
    : db_(std::make_unique<MotorSqlite>(baseDatos)) {
    db_->escribirSinEsperarDisco();
    db_->borrarTodo(kTablaInforme);
}

void TablaInforme::agregar(const std::string& campo1, const std::string& campo2,
                           const std::string& campo3) {
    db_->agregarRegistro(kTablaInforme, {{"CAMPO1", Valor::texto(acortarCampo(campo1))},
                                         {"CAMPO2", Valor::texto(acortarCampo(campo2))},
                                         {"CAMPO3", Valor::texto(acortarCampo(campo3))}});
    ++filas_;
}

} // namespace envio
