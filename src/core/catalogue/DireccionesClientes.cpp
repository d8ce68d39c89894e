#include "catalogue/DireccionesClientes.h"

#include "database/Texto.h"
#include "settings/NumeroInicial.h"

namespace envio {

std::unordered_map<long long, std::string> leerDireccionesClientes(BaseDatos& db) {
    std::unordered_map<long long, std::string> direcciones;
    std::unordered_map<long long, bool> decididas; // a non-zero priority was found
    Registros telefonos =
        db.abrirRegistros("SELECT IDEMPRESA, numero, Prioridad FROM CLITELEFONOS WHERE TIPO = 'E'");
    for (telefonos.primero(); !telefonos.fin(); telefonos.siguiente()) {
        const auto id = telefonos.campo(0).comoEntero();
        if (!id || decididas[*id]) {
            continue;
        }
        direcciones[*id] = sinBlancos(telefonos.campo(1).comoTexto());
        decididas[*id] = NumeroInicial(sinBlancos(telefonos.campo(2).comoTexto())) != 0.0;
    }
    return direcciones;
}

} // namespace envio
