#include "revision/RevisionEnvio.h"

#include "catalogue/AccionesDocumento.h"
#include "database/Texto.h"
#include "revision/Nif.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace envio {
namespace {

std::string nombreArchivo(const std::string& etiqueta) {
    const auto barra = etiqueta.find_last_of("/\\");
    return barra == std::string::npos ? etiqueta : etiqueta.substr(barra + 1);
}

std::string enKb(std::uintmax_t bytes) {
    return std::to_string((bytes + 1023) / 1024) + " KB";
}

// Texts as a reader prints them vary in case and in the blanks between words; a tax number may
// be printed with dots or a hyphen.
std::string comparable(std::string_view texto, std::string_view quitar) {
    std::string sinSeparadores;
    sinSeparadores.reserve(texto.size());
    bool blanco = false;
    for (const char c : texto) {
        if (quitar.find(c) != std::string_view::npos) {
            continue;
        }
        const bool esBlanco = c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
        if (esBlanco) {
            blanco = true;
            continue;
        }
        if (blanco && !sinSeparadores.empty()) {
            sinSeparadores += ' ';
        }
        blanco = false;
        sinSeparadores += c;
    }
    return mayusculas(sinSeparadores);
}

constexpr std::string_view kSeparadoresNif = " .-\t\n\r\f";

bool tieneTexto(std::string_view texto) {
    return std::any_of(texto.begin(), texto.end(), [](char c) {
        return c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\f';
    });
}

// The recipient's name as the invoice list shows it: the row's text after the client code.
std::string nombreCliente(const FilaLista& fila) {
    const auto blanco = fila.texto.find(' ');
    return blanco == std::string::npos ? std::string() : sinBlancos(fila.texto.substr(blanco + 1));
}

struct Revisor {
    const std::vector<FilaLista>& filas;
    const ReglasRevision& reglas;
    PdfEngine& pdf;

    void anotar(std::vector<Hallazgo>& hallazgos, std::size_t i, Gravedad g,
                std::string texto) const {
        hallazgos.push_back(
            {i, nombreArchivo(filas[i].etiqueta), filas[i].texto, std::move(texto), g});
    }

    // Blocks when the file is not a readable, non-empty PDF of an acceptable size; true when
    // its text may then be read.
    bool revisarArchivo(std::size_t i, std::vector<Hallazgo>& hallazgos) const {
        const std::string& ruta = filas[i].etiqueta;
        const int fd = ::open(ruta.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            anotar(hallazgos, i, Gravedad::Bloquea,
                   errno == ENOENT || errno == ENOTDIR
                       ? std::string("el archivo ya no está en la carpeta")
                       : "no se puede leer el archivo: " + std::string(std::strerror(errno)));
            return false;
        }
        struct stat st {};
        char cabecera[5] = {};
        const bool conEstado = ::fstat(fd, &st) == 0;
        const ssize_t leidos = conEstado ? ::read(fd, cabecera, sizeof cabecera) : -1;
        const int error = errno;
        ::close(fd);
        if (!conEstado || leidos < 0) {
            anotar(hallazgos, i, Gravedad::Bloquea,
                   "no se puede leer el archivo: " + std::string(std::strerror(error)));
            return false;
        }
        const auto tamano = static_cast<std::uintmax_t>(st.st_size);
        if (tamano == 0) {
            anotar(hallazgos, i, Gravedad::Bloquea, "el archivo está vacío");
            return false;
        }
        if (leidos < 5 || std::memcmp(cabecera, "%PDF-", 5) != 0) {
            anotar(hallazgos, i, Gravedad::Bloquea, "el archivo no es un PDF");
            return false;
        }
        bool cabe = true;
        if (reglas.limiteServidor && tamano > *reglas.limiteServidor) {
            anotar(hallazgos, i, Gravedad::Bloquea,
                   "mayor (" + enKb(tamano) + ") que lo que admite el servidor de correo (" +
                       enKb(*reglas.limiteServidor) + ")");
            cabe = false;
        }
        if (reglas.limiteUsuario > 0 && tamano > reglas.limiteUsuario) {
            anotar(hallazgos, i, Gravedad::Bloquea,
                   "mayor (" + enKb(tamano) + ") que el tamaño máximo fijado (" +
                       enKb(reglas.limiteUsuario) + ")");
            cabe = false;
        }
        return cabe;
    }

    // Whether the document carries its recipient's NIF (payroll) or name (invoices).
    void revisarDestinatario(std::size_t i, std::vector<Hallazgo>& hallazgos) const {
        const bool nomina = reglas.modo == Modo::Nomina;
        const std::string buscado =
            nomina ? nifDelDocumento(filas[i].etiqueta) : comparable(nombreCliente(filas[i]), "");
        if (nomina && reglas.protegerConNif && !nifValido(buscado)) {
            anotar(hallazgos, i, Gravedad::Bloquea, "NIF no válido: " + buscado);
        }
        const std::string objetivo = nomina ? comparable(buscado, kSeparadoresNif) : buscado;
        if (objetivo.empty()) {
            return;
        }
        const auto quitar = nomina ? kSeparadoresNif : std::string_view();
        const auto texto = pdf.text(filas[i].etiqueta, [&](std::string_view hastaAhora) {
            return comparable(hastaAhora, quitar).find(objetivo) != std::string::npos;
        });
        if (!texto) {
            anotar(hallazgos, i, Gravedad::Bloquea, "el PDF está dañado o no se puede abrir");
        } else if (!tieneTexto(*texto)) {
            anotar(hallazgos, i, Gravedad::Aviso,
                   "PDF sin texto (escaneado): no se puede comprobar");
        } else if (comparable(*texto, quitar).find(objetivo) == std::string::npos) {
            anotar(hallazgos, i, nomina ? Gravedad::Bloquea : Gravedad::Aviso,
                   nomina ? "el NIF " + buscado + " no aparece en el documento"
                          : "el nombre " + nombreCliente(filas[i]) + " no aparece en el documento");
        }
    }

    std::vector<Hallazgo> revisarFila(std::size_t i) const {
        std::vector<Hallazgo> hallazgos;
        if (sinBlancos(filas[i].etiqueta).empty()) {
            return hallazgos;
        }
        try {
            if (revisarArchivo(i, hallazgos)) {
                revisarDestinatario(i, hallazgos);
            }
        } catch (const std::exception& e) {
            anotar(hallazgos, i, Gravedad::Bloquea,
                   std::string("no se puede revisar: ") + e.what());
        }
        return hallazgos;
    }

    // The rows' own findings, read on several threads: most of the time goes into the PDFs.
    std::vector<std::vector<Hallazgo>> revisarArchivos(const std::vector<std::size_t>& marcadas) {
        std::vector<std::vector<Hallazgo>> porFila(filas.size());
        std::atomic<std::size_t> siguiente{0};
        const auto trabajar = [&] {
            for (std::size_t n = siguiente++; n < marcadas.size(); n = siguiente++) {
                porFila[marcadas[n]] = revisarFila(marcadas[n]);
            }
        };
        unsigned hilos = reglas.hilos != 0 ? reglas.hilos : std::thread::hardware_concurrency();
        hilos = std::clamp<unsigned>(
            hilos, 1, static_cast<unsigned>(std::max<std::size_t>(1, marcadas.size() / 8)));
        std::vector<std::thread> trabajadores;
        for (unsigned t = 1; t < hilos; ++t) {
            trabajadores.emplace_back(trabajar);
        }
        trabajar();
        for (auto& t : trabajadores) {
            t.join();
        }
        return porFila;
    }
};

// The address as the run will use it; empty when missing.
std::string direccionDe(const FilaLista& fila, bool& valida) {
    std::string para = fila.subitems[0];
    valida = CompruebaDireccionEMail(para);
    return para;
}

} // namespace

std::vector<Hallazgo> revisarEnvio(const std::vector<FilaLista>& filas,
                                   const ReglasRevision& reglas, PdfEngine& pdf) {
    std::vector<std::size_t> marcadas;
    for (std::size_t i = 0; i < filas.size(); ++i) {
        if (filas[i].marcada) {
            marcadas.push_back(i);
        }
    }
    Revisor revisor{filas, reglas, pdf};
    auto porFila = revisor.revisarArchivos(marcadas);

    // Who each address and each recipient stands for in this run.
    std::map<std::string, std::set<std::string>> destinatariosPorDireccion;
    std::map<std::string, int> documentosPorDestinatario;
    std::vector<std::string> direcciones(filas.size());
    for (const auto i : marcadas) {
        bool valida = false;
        direcciones[i] = direccionDe(filas[i], valida);
        if (!valida) {
            porFila[i].insert(porFila[i].begin(),
                              {i, nombreArchivo(filas[i].etiqueta), filas[i].texto,
                               direcciones[i].empty()
                                   ? std::string("sin dirección de correo")
                                   : "dirección de correo no válida: " + filas[i].subitems[0],
                               Gravedad::Bloquea});
            direcciones[i].clear();
            continue;
        }
        destinatariosPorDireccion[direcciones[i]].insert(filas[i].texto);
        ++documentosPorDestinatario[filas[i].texto];
    }
    std::vector<Hallazgo> hallazgos;
    for (const auto i : marcadas) {
        auto& propios = porFila[i];
        const auto avisar = [&](std::string texto) {
            propios.push_back({i, nombreArchivo(filas[i].etiqueta), filas[i].texto,
                               std::move(texto), Gravedad::Aviso});
        };
        if (!direcciones[i].empty() && destinatariosPorDireccion[direcciones[i]].size() > 1) {
            avisar("la dirección " + direcciones[i] + " es de " +
                   std::to_string(destinatariosPorDireccion[direcciones[i]].size()) +
                   " destinatarios distintos en este envío");
        }
        if (const int n = documentosPorDestinatario[filas[i].texto]; n > 1) {
            avisar(std::to_string(n) + " documentos para este destinatario");
        }
        if (reglas.yaEnviado) {
            if (auto motivo = reglas.yaEnviado(filas[i])) {
                avisar("ya enviado o posiblemente enviado: " + *motivo);
            }
        }
        std::stable_partition(propios.begin(), propios.end(),
                              [](const Hallazgo& h) { return h.gravedad == Gravedad::Bloquea; });
        hallazgos.insert(hallazgos.end(), propios.begin(), propios.end());
    }
    return hallazgos;
}

std::vector<bool> filasBloqueadas(const std::vector<Hallazgo>& hallazgos, std::size_t filas) {
    std::vector<bool> bloqueadas(filas, false);
    for (const auto& h : hallazgos) {
        if (h.gravedad == Gravedad::Bloquea && h.fila < filas) {
            bloqueadas[h.fila] = true;
        }
    }
    return bloqueadas;
}

std::string lineaHallazgo(const Hallazgo& h) {
    const auto sinTabuladores = [](std::string s) {
        std::replace_if(
            s.begin(), s.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
        return s;
    };
    return sinTabuladores(h.documento) + '\t' + sinTabuladores(h.destinatario) + '\t' +
           sinTabuladores(h.texto) + '\t' + (h.gravedad == Gravedad::Bloquea ? "bloquea" : "aviso");
}

} // namespace envio
