#pragma once

#include "catalogue/IndiceDestinatarios.h"
#include "catalogue/ListaVista.h"
#include "host/ContextoAnfitrion.h"
#include "platform/FileSystem.h"

#include <string>
#include <vector>

namespace envio {

inline constexpr int kMesTodos = 13;

// What the window has chosen: the type, the year tab's caption, the month tab (1..12, or 13
// for every month) and the search text.
struct SeleccionPeriodo {
    std::string tipo;
    std::string anio;
    int mes = 1;
    std::string busqueda;
};

// The three labels that a fill sets.
struct EtiquetasLista {
    std::string detalle;       // lblDetalle
    std::string cuenta;        // lblCuenta
    std::string seleccionados; // lblFacSel
};

// The documents of a period with their recipients. The rows of a period are built once and kept
// while the folder and the databases stay unchanged, so that narrowing the list as the user
// types touches neither the disk nor the databases. Any other refill lists the folder again
// (`releerCarpeta`): a document rewritten in place leaves its folder's time as it was.
class Catalogo {
public:
    explicit Catalogo(const ContextoAnfitrion& contexto);

    // Refills `lista` for the selection (invoices for "FACTURAS", payroll documents otherwise).
    // Throws ErrorBaseDatos when the suite's tables cannot be read.
    EtiquetasLista ActualizarLista(const SeleccionPeriodo& seleccion, ListaVista& lista);
    // The next fill lists the folder again; the recipients stay while their files are unchanged.
    void releerCarpeta() { periodo_.reset(); }

    // The folder and the file-name pattern of a selection.
    [[nodiscard]] std::filesystem::path carpeta(const SeleccionPeriodo& seleccion) const;
    [[nodiscard]] static std::string patron(const SeleccionPeriodo& seleccion);

private:
    struct Documento {
        FilaLista fila;
        std::string busqueda; // upper-cased search text
    };
    struct Periodo {
        std::string tipo;
        std::string anio;
        int mes = 0;
        fs::Stamp carpeta;
        fs::Stamp baseDatos;
        fs::Stamp alternativa;
        bool operator==(const Periodo&) const = default;
    };

    // A listed file with everything that its name and size give; the recipient comes later.
    struct Archivo {
        long long codigo = 0;
        std::string nif;     // payroll: the tax number in the name
        Documento documento; // its row without name and address; its search text's tail
    };

    const std::vector<Documento>& documentos(const SeleccionPeriodo& seleccion);
    // Run beside the recipients' reading, on the folder listing's thread.
    static std::vector<Archivo> prepararFacturas(const std::filesystem::path& carpeta,
                                                 const std::vector<fs::ListedFile>& archivos);
    static std::vector<Archivo> prepararNominas(const std::filesystem::path& carpeta,
                                                const std::vector<fs::ListedFile>& archivos);
    std::vector<Documento> LlenarLvFacturas(std::vector<Archivo> archivos);
    std::vector<Documento> LlenarLvNomina(std::vector<Archivo> archivos);
    void marcarDudosos(std::vector<Documento>& documentos) const;

    const ContextoAnfitrion& contexto_;
    IndiceDestinatarios indice_;
    std::optional<Periodo> periodo_;
    std::vector<Documento> documentos_;
};

// Whether a file name carries the sent marker (".ENVIADO.PDF" at its end, any case, blanks
// around the name ignored).
bool estaEnviado(std::string_view nombreArchivo);

} // namespace envio
