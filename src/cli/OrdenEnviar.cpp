#include "cli/OrdenEnviar.h"

#include "catalogue/Catalogo.h"
#include "catalogue/Seleccion.h"
#include "cli/DialogosConsola.h"
#include "cli/InformeEnConsola.h"
#include "cli/ObservadorConsola.h"
#include "cli/OrdenListar.h"
#include "mail/MandarCorreos.h"
#include "mail/OpcionesComponente.h"

namespace envio::cli {
int ordenEnviar(const Opciones& opciones, const CarpetaPrograma& carpeta, const Reloj& reloj,
                const CreadorInformePdf& crearInforme, std::ostream& salida, std::ostream& errores,
                bool errorEsTerminal) {
    DialogosConsola dialogos(errores, opciones.reenviar ? Respuesta::Si : Respuesta::No);
    auto contexto = iniciarContexto(carpeta, dialogos, reloj);
    if (!contexto) {
        return 2;
    }
    try {
        Catalogo catalogo(*contexto);
        ListaVista lista;
        catalogo.ActualizarLista(seleccionDeOpciones(opciones, *contexto), lista);
        Seleccionar(lista, opciones.seleccion);

        std::unique_ptr<VisorInforme> visor = opciones.informe && crearInforme
                                                  ? crearInforme(carpeta, *opciones.informe)
                                                  : std::make_unique<InformeEnConsola>(salida);
        ObservadorConsola observador(errores, errorEsTerminal);
        CurlMailTransport componente(opcionesComponente(carpeta));
        LinuxConnectivityProbe sonda;
        RegistroEnvios registro(RegistroEnvios::archivoEn(carpeta.ruta()));
        std::atomic<bool> cancelar{false};
        EntornoEnvio entorno{contexto->correo, carpeta, dialogos, observador, *visor,
                             componente,       sonda,   registro, cancelar};
        const ResultadoEnvios r = MandarCorreos(lista.filas(), entorno);
        salida << "Enviados: " << r.enviados << "; no enviados: " << r.noEnviados << "\n";
        if (r.salidaPorError) {
            return 2;
        }
        return r.noEnviados == 0 ? 0 : 1;
    } catch (const std::exception& e) {
        errores << e.what() << '\n';
        return 2;
    }
}

} // namespace envio::cli
