#include "cli/OrdenAvisos.h"

#include "cli/DialogosConsola.h"
#include "cli/InformeEnConsola.h"
#include "mail/PuestoEnvio.h"
#include "mass/ListaDestinatarios.h"
#include "mass/MandarAvisos.h"

#include <algorithm>

namespace envio::cli {
int ordenAvisos(const Opciones& opciones, const CarpetaPrograma& carpeta, const Reloj& reloj,
                const CreadorInformePdf& crearInforme, std::ostream& salida,
                std::ostream& errores) {
    DialogosConsola dialogos(errores, Respuesta::Si);
    auto contexto = iniciarContexto(carpeta, dialogos, reloj);
    if (!contexto) {
        return 2;
    }
    try {
        masivo::ListaDestinatarios origen(*contexto);
        ListaVista lista;
        if (masivo::fuenteParaTipo(contexto->tipos.front()) == masivo::Fuente::Clientes) {
            origen.LlenarLvClientes(lista, opciones.grupo.value_or(""));
        } else if (opciones.grupo) {
            // The window hides the filter for the alternative table; a group there means nothing.
            errores << "--grupo sólo se aplica a los clientes de facturación; en nómina use "
                       "--seleccion todo\n";
            return 2;
        } else {
            origen.LlenarLvAlternativo(lista);
        }
        if (opciones.seleccion == "todo") {
            masivo::Seleccion(lista, "TODO");
        }
        const int marcadas =
            static_cast<int>(std::count_if(lista.filas().begin(), lista.filas().end(),
                                           [](const FilaLista& f) { return f.marcada; }));

        const masivo::PlantillaAviso plantilla = masivo::CargarPlantillaAviso(carpeta.krnIni());
        std::unique_ptr<VisorInforme> visor = opciones.informe && crearInforme
                                                  ? crearInforme(carpeta, *opciones.informe)
                                                  : std::make_unique<InformeEnConsola>(salida);
        ObservadorEnvio observador; // a notice run shows no progress bar: the boxes say it all
        PuestoEnvio puesto(contexto->carpeta);
        std::atomic<bool> cancelar{false};
        EntornoEnvio entorno =
            puesto.entorno(contexto->correo(), dialogos, observador, *visor, cancelar);
        const masivo::ResultadoAvisos r = masivo::MandarAvisos(lista.filas(), plantilla, entorno);
        salida << "Enviados: " << r.enviados << "; no enviados: " << marcadas - r.enviados << "\n";
        if (r.salidaPorError) {
            return 2;
        }
        return r.enviados == marcadas ? 0 : 1;
    } catch (const std::exception& e) {
        errores << e.what() << '\n';
        return 2;
    }
}

} // namespace envio::cli
