#include "GeneradorSuite.h"

#include "EscritorBases.h"
#include "settings/CodificarClave.h"
#include "settings/IniFile.h"
#include "settings/MensajeEnTrozos.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <stdexcept>

namespace suitegen {
namespace {

std::string twoDigits(int n) {
    return (n < 10 ? "0" : "") + std::to_string(n);
}

std::string padded(long long n, std::size_t width) {
    std::string s = std::to_string(n);
    return s.size() < width ? std::string(width - s.size(), '0') + s : s;
}

// The suite's way of writing a path: backslashes and, to prove that case does not matter,
// lower case.
std::string asSuiteWrites(const std::filesystem::path& path, bool windowsStyle) {
    if (!windowsStyle) {
        return path.string();
    }
    std::string text = path.string();
    for (auto& c : text) {
        if (c == '/') {
            c = '\\';
        } else if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c + 32);
        }
    }
    return text;
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

void writeMailSettings(const std::filesystem::path& krn, const ServidorCorreo& c) {
    envio::EscribirIni(krn, "servidor", "Servidor", c.servidor);
    envio::EscribirIni(krn, "servidor", "Puerto", std::to_string(c.puerto));
    envio::EscribirIni(krn, "servidor", "cuenta", c.cuenta);
    envio::EscribirIni(krn, "servidor", "Usuario", c.usuario);
    envio::EscribirIni(krn, "servidor", "Password", envio::CodificarClave(c.password, true));
    envio::EscribirIni(krn, "Servidor", "SSL", c.ssl ? "1" : "0");
    envio::EscribirIni(krn, "DocumentoPORemail", "Asunto", c.asunto);
    envio::escribirMensajeEnTrozos(krn, "DocumentoPORemail", "Mensaje", c.mensaje);
    envio::EscribirIni(krn, "DocumentoPORemail", "ConfirmacionLeido", "0");
}

// A PDF string of Helvetica's standard encoding: Latin-1 bytes for the UTF-8 letters.
std::string pdfString(const std::string& utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size()) {
            const auto latin1 = static_cast<unsigned char>(
                ((c & 0x1F) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
            char octal[5];
            std::snprintf(octal, sizeof octal, "\\%03o", latin1);
            out += octal;
        } else if (c == '(' || c == ')' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// The name a document's own text gives its recipient: the client's name on an invoice.
std::string destinatarioDe(const DescripcionSuite& d, const std::string& archivo) {
    if (d.nomina) {
        return {};
    }
    const long long codigo = std::atoll(archivo.substr(0, 6).c_str());
    for (const auto& c : d.clientes) {
        if (c.id == codigo) {
            return "Cliente: " + c.nombre;
        }
    }
    return {};
}

std::string fillerStream(std::size_t bytes) {
    std::string data(bytes, 'x');
    for (std::size_t i = 0; i < bytes; ++i) {
        data[i] = static_cast<char>('a' + (i * 7 + i / 26) % 26);
    }
    return "<< /Length " + std::to_string(bytes) + " >>\nstream\n" + data + "\nendstream";
}

// The file for these objects (the first the catalog), with a filler stream of `filler` bytes
// after them when given.
std::string buildPdf(std::vector<std::string> objects,
                     std::optional<std::size_t> filler = std::nullopt) {
    if (filler) {
        objects.push_back(fillerStream(*filler));
    }
    std::string pdf = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const std::size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (const auto offset : offsets) {
        pdf += padded(static_cast<long long>(offset), 10) + " 00000 n \n";
    }
    pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) +
           " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

} // namespace

std::string pdfDePrueba(const std::string& titulo, std::size_t tamano,
                        const std::vector<std::string>& lineas) {
    std::string contenido;
    int y = 770;
    if (!titulo.empty()) {
        contenido +=
            "BT /F1 18 Tf 72 " + std::to_string(y) + " Td (" + pdfString(titulo) + ") Tj ET\n";
        y -= 30;
    }
    for (const auto& linea : lineas) {
        contenido +=
            "BT /F1 12 Tf 72 " + std::to_string(y) + " Td (" + pdfString(linea) + ") Tj ET\n";
        y -= 20;
    }
    if (contenido.empty()) {
        contenido = "0 0 1 rg 72 600 300 150 re f"; // a scan: something drawn, no text
    }
    std::vector<std::string> objetos = {
        "<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents 4 0 R "
        "/Resources << /Font << /F1 5 0 R >> >> >>",
        "<< /Length " + std::to_string(contenido.size()) + " >>\nstream\n" + contenido +
            "\nendstream",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>"};
    // The bulk of a real document (its fonts and images) is a stream before the cross-reference
    // table, which readers then find at the end of the file where they look for it.
    const std::size_t sinRelleno = buildPdf(objetos).size();
    const std::size_t marco = buildPdf(objetos, 0).size() - sinRelleno;
    if (tamano > sinRelleno + marco + 16) {
        std::size_t relleno = tamano - sinRelleno - marco;
        while (relleno > 0 && buildPdf(objetos, relleno).size() > tamano) {
            --relleno; // the length's own digits
        }
        objetos.push_back(fillerStream(relleno));
    }
    std::string pdf = buildPdf(objetos);
    // Readers ignore comment lines after the end marker; they bring the file to its size.
    while (pdf.size() < tamano) {
        const std::size_t linea = std::min<std::size_t>(tamano - pdf.size(), 80);
        pdf += linea == 1 ? std::string("\n") : "%" + std::string(linea - 2, 'x') + "\n";
    }
    return pdf;
}

Cliente clienteConCorreo(long long id, std::string nombre, std::optional<std::string> grupo,
                         std::string email) {
    return {id, std::move(nombre), std::move(grupo), false, {{"E", std::move(email), 0}}};
}

std::string nombreFactura(long long cliente, int anio, int mes, int dia, long long numero,
                          bool enviado) {
    return padded(cliente, 6) + "_" + std::to_string(anio) + twoDigits(mes) + twoDigits(dia) + "_" +
           padded(numero, 6) + (enviado ? ".ENVIADO.PDF" : ".pdf");
}

std::string nombreNomina(long long empleado, int anio, int mes, char clase, const std::string& nif,
                         bool enviado) {
    return padded(empleado, 7) + "_" + twoDigits(anio % 100) + twoDigits(mes) + "1" + clase + "_" +
           nif + (enviado ? ".ENVIADO.PDF" : ".PDF");
}

SuiteGenerada generarSuite(const std::filesystem::path& carpeta, const DescripcionSuite& d) {
    SuiteGenerada s;
    s.carpetaPrograma = carpeta;
    std::filesystem::create_directories(carpeta);
    const auto krn = carpeta / "KRN.INI";
    if (d.nomina) {
        const auto datos = carpeta / "Nomina";
        s.baseDatos = datos / "krnpgl.mdb";
        s.carpetaDocumentos = datos / "publicar";
        envio::EscribirIni(krn, "clsempleado", "rutaficheros",
                           asSuiteWrites(datos, d.rutasAlEstiloWindows));
        escribirBaseNomina(s.baseDatos, d.formato, d.empleados);
    } else {
        const auto datos = carpeta / "Datos";
        s.baseDatos = datos / "GESTION.MDB";
        s.carpetaDocumentos = datos / "FacturasPorEmail";
        envio::EscribirIni(krn, "clsempleado", "rutaficheros", "");
        envio::EscribirIni(krn, "Facturación", "BaseDatos",
                           asSuiteWrites(s.baseDatos, d.rutasAlEstiloWindows));
        escribirBaseFacturas(s.baseDatos, d.formato, d.clientes);
    }
    if (!d.alternativas.empty()) {
        s.baseAlternativa = carpeta / "Datos" / "ALTERNATIVA.MDB";
        escribirBaseAlternativa(*s.baseAlternativa, d.formato, d.alternativas);
        envio::EscribirIni(krn, "EMAIL_ALTERNATIVO", "BASE_ORIGEN",
                           asSuiteWrites(*s.baseAlternativa, d.rutasAlEstiloWindows));
        envio::EscribirIni(krn, "EMAIL_ALTERNATIVO", "TABLA_ORIGEN", "EMAILS");
        envio::EscribirIni(krn, "EMAIL_ALTERNATIVO", "NIF_CAMPO", "NIF");
        envio::EscribirIni(krn, "EMAIL_ALTERNATIVO", "EMAIL_CAMPO", "EMAIL");
        envio::EscribirIni(krn, "EMAIL_ALTERNATIVO", "NOMBRE_CAMPO", "NOMBRE");
    }
    if (d.correo) {
        writeMailSettings(krn, *d.correo);
    }
    for (const auto& documento : d.documentos) {
        const auto ruta = s.carpetaDocumentos / documento.carpeta / documento.nombre;
        if (documento.texto) {
            writeFile(ruta, pdfDePrueba("", documento.tamano, *documento.texto));
        } else {
            writeFile(ruta, pdfDePrueba(documento.nombre, documento.tamano,
                                        {destinatarioDe(d, documento.nombre)}));
        }
    }
    return s;
}

} // namespace suitegen
