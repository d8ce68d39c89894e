#include "cli/OrdenEnviar.h"

#include "catalogue/Catalogo.h"
#include "catalogue/Seleccion.h"
#include "cli/DialogosConsola.h"
#include "cli/InformeEnConsola.h"
#include "cli/ObservadorConsola.h"
#include "cli/OrdenListar.h"
#include "mail/MandarCorreos.h"
#include "mail/PuestoEnvio.h"
#include "revision/EnvioRevisado.h"

namespace envio::cli {
namespace {

// The month's list as the options choose it, with the rows the selection ticks.
ListaVista listaMarcada(const Opciones& opciones, ContextoAnfitrion& contexto) {
    Catalogo catalogo(contexto);
    ListaVista lista;
    catalogo.ActualizarLista(seleccionDeOpciones(opciones, contexto), lista);
    Seleccionar(lista, opciones.seleccion);
    return lista;
}

} // namespace

int ordenEnviar(const Opciones& opciones, const CarpetaPrograma& carpeta, const Reloj& reloj,
                const CreadorInformePdf& crearInforme, std::ostream& salida, std::ostream& errores,
                bool errorEsTerminal) {
    DialogosConsola dialogos(errores, opciones.reenviar ? Respuesta::Si : Respuesta::No);
    auto contexto = iniciarContexto(carpeta, dialogos, reloj);
    if (!contexto) {
        return 2;
    }
    try {
        ListaVista lista = listaMarcada(opciones, *contexto);

        std::unique_ptr<VisorInforme> visor = opciones.informe && crearInforme
                                                  ? crearInforme(carpeta, *opciones.informe)
                                                  : std::make_unique<InformeEnConsola>(salida);
        ObservadorConsola observador(errores, errorEsTerminal);
        PuestoEnvio puesto(contexto->carpeta);
        std::atomic<bool> cancelar{false};
        EntornoEnvio entorno = puesto.entorno(
            contexto->correo(), dialogos, observador, *visor, cancelar,
            opciones.omitirDudosos ? ReenvioDudosos::Omitir : ReenvioDudosos::Preguntar);
        const MediosRevision medios{puesto.pdf(),
                                    [&] { return puesto.tamanoServidor(contexto->correo()); }};
        const ResultadoEnvios r = EnviarRevisado(lista.filas(), contexto->modo, entorno, medios);
        for (const auto& linea : r.ocupados) {
            errores << "En uso por otro envío: " << linea << '\n';
        }
        for (const auto& linea : r.dudososOmitidos) {
            errores << "Posiblemente enviado, no se ha reenviado: " << linea << '\n';
        }
        salida << "Enviados: " << r.enviados << "; no enviados: " << r.noEnviados << "\n";
        if (r.salidaPorError) {
            return 2;
        }
        if (!r.ocupados.empty()) {
            return 3;
        }
        return r.noEnviados == 0 ? 0 : 1;
    } catch (const std::exception& e) {
        errores << e.what() << '\n';
        return 2;
    }
}

int ordenRevisar(const Opciones& opciones, const CarpetaPrograma& carpeta, const Reloj& reloj,
                 std::ostream& salida, std::ostream& errores) {
    DialogosConsola dialogos(errores, Respuesta::No);
    auto contexto = iniciarContexto(carpeta, dialogos, reloj);
    if (!contexto) {
        return 2;
    }
    try {
        ListaVista lista = listaMarcada(opciones, *contexto);
        InformeEnConsola visor(salida);
        ObservadorConsola observador(errores, false);
        PuestoEnvio puesto(contexto->carpeta);
        std::atomic<bool> cancelar{false};
        EntornoEnvio entorno =
            puesto.entorno(contexto->correo(), dialogos, observador, visor, cancelar);
        const MediosRevision medios{puesto.pdf(),
                                    [&] { return puesto.tamanoServidor(contexto->correo()); }};
        const auto hallazgos = revisarDocumentos(lista.filas(), contexto->modo, entorno, medios);
        for (const auto& h : hallazgos) {
            salida << lineaHallazgo(h) << '\n';
        }
        return hallazgos.empty() ? 0 : 1;
    } catch (const std::exception& e) {
        errores << e.what() << '\n';
        return 2;
    }
}

} // namespace envio::cli
