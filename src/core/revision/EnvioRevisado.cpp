#include "revision/EnvioRevisado.h"

#include "ledger/DocumentosDudosos.h"
#include "revision/SinContrasena.h"

#include <algorithm>
#include <memory>

namespace envio {

ReglasRevision reglasDelEnvio(Modo modo, EntornoEnvio& e, const MediosRevision& medios) {
    ReglasRevision reglas;
    reglas.modo = modo;
    reglas.protegerConNif = modo == Modo::Nomina && e.correo.protegerConNif;
    reglas.limiteUsuario = e.correo.tamanoMaximoKb * 1024;
    if (medios.tamanoServidor) {
        reglas.limiteServidor = medios.tamanoServidor();
    }
    auto dudosos = std::make_shared<DocumentosDudosos>(e.registro, e.reservas);
    reglas.yaEnviado = [&e, dudosos](const FilaLista& fila) {
        return motivoYaEnviado(fila, *dudosos, e.reservas, e.registro);
    };
    return reglas;
}

std::vector<Hallazgo> revisarDocumentos(const std::vector<FilaLista>& filas, Modo modo,
                                        EntornoEnvio& entorno, const MediosRevision& medios) {
    const bool algunaMarcada =
        std::any_of(filas.begin(), filas.end(), [](const FilaLista& f) { return f.marcada; });
    if (!algunaMarcada) {
        return {};
    }
    return revisarEnvio(filas, reglasDelEnvio(modo, entorno, medios), medios.pdf);
}

namespace {

int contarMarcadas(const std::vector<FilaLista>& filas) {
    int n = 0;
    for (const auto& f : filas) {
        n += f.marcada ? 1 : 0;
    }
    return n;
}

// Blocked rows leave the run's selection and turn red now; they are checked again afterwards,
// so the list shows them as the user left them.
std::vector<std::size_t> apartarBloqueadas(std::vector<FilaLista>& filas,
                                           const std::vector<Hallazgo>& hallazgos,
                                           ObservadorEnvio& observador) {
    const auto bloqueadas = filasBloqueadas(hallazgos, filas.size());
    std::vector<std::size_t> apartadas;
    for (std::size_t i = 0; i < filas.size(); ++i) {
        if (bloqueadas[i] && filas[i].marcada) {
            filas[i].marcada = false;
            filas[i].color = kColorError;
            observador.filaCambiada(i, filas[i]);
            apartadas.push_back(i);
        }
    }
    return apartadas;
}

} // namespace

ResultadoEnvios EnviarRevisado(std::vector<FilaLista>& filas, Modo modo, EntornoEnvio& e,
                               const MediosRevision& medios) {
    e.observador.progresoVisible(true);
    e.observador.textoProgreso("Revisando ...");
    e.observador.punteroOcupado(true);
    const auto hallazgos = revisarDocumentos(filas, modo, e, medios);
    e.observador.punteroOcupado(false);
    e.observador.progresoVisible(false);
    if (!hallazgos.empty()) {
        const DecisionRevision decision = e.dialogos.revisar(hallazgos);
        if (!decision.enviar) {
            ResultadoEnvios r;
            r.declinado = true;
            r.noEnviados = contarMarcadas(filas);
            return r;
        }
        for (const auto i : decision.desmarcadas) {
            if (i < filas.size()) {
                filas[i].marcada = false;
            }
        }
    }
    const auto apartadas = apartarBloqueadas(filas, hallazgos, e.observador);
    std::optional<ProteccionNominas> proteccion;
    if (modo == Modo::Nomina && e.correo.protegerConNif) {
        proteccion.emplace(ProteccionNominas{
            medios.pdf, ListaSinContrasena(ListaSinContrasena::archivoEn(e.carpeta)).leer(),
            e.correo.lineaProteccion});
        e.proteccion = &*proteccion;
    }
    ResultadoEnvios r = MandarCorreos(filas, e);
    e.proteccion = nullptr;
    for (const auto i : apartadas) {
        filas[i].marcada = true;
    }
    r.fallidos += static_cast<int>(apartadas.size());
    r.noEnviados += static_cast<int>(apartadas.size());
    return r;
}

} // namespace envio
