#include "cli/LineaDeOrdenes.h"

#include "ledger/HistorialEnvios.h"

#include <cctype>
#include <charconv>

namespace envio::cli {

namespace {

int numero(const std::string& opcion, const std::string& texto, int minimo, int maximo) {
    int valor = 0;
    const auto lectura = std::from_chars(texto.data(), texto.data() + texto.size(), valor);
    if (lectura.ec != std::errc{} || lectura.ptr != texto.data() + texto.size() || valor < minimo ||
        valor > maximo) {
        throw ErrorDeOpciones("Valor no válido para " + opcion + ": " + texto);
    }
    return valor;
}

int mes(const std::string& texto) {
    std::string upper = texto;
    for (auto& c : upper) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return upper == "TODOS" ? 13 : numero("--mes", texto, 1, 12);
}

std::string fecha(const std::string& opcion, const std::string& texto) {
    try {
        return fechaValida(texto);
    } catch (const std::invalid_argument&) {
        throw ErrorDeOpciones("Valor no válido para " + opcion + ": " + texto + " (AAAA-MM-DD)");
    }
}

void anadirUnidad(MapaUnidades& unidades, const std::string& texto) {
    Unidad unidad;
    try {
        unidad = leerUnidad(texto, OrigenUnidad::Orden);
    } catch (const std::invalid_argument& e) {
        throw ErrorDeOpciones("Valor no válido para --unidad: " + texto + " (" + e.what() + ")");
    }
    if (!unidades.anadir(unidad)) {
        throw ErrorDeOpciones("La unidad " + unidad.raiz +
                              " se indica más de una vez con --unidad");
    }
}

} // namespace

Opciones analizarLineaDeOrdenes(const std::vector<std::string>& argumentos) {
    Opciones opciones;
    for (std::size_t i = 0; i < argumentos.size(); ++i) {
        const std::string& argumento = argumentos[i];
        const auto valor = [&]() -> const std::string& {
            if (i + 1 >= argumentos.size()) {
                throw ErrorDeOpciones("Falta el valor de " + argumento);
            }
            return argumentos[++i];
        };
        if (argumento == "--listar") {
            opciones.orden = Orden::Listar;
        } else if (argumento == "--enviar") {
            opciones.orden = Orden::Enviar;
        } else if (argumento == "--revisar") {
            opciones.orden = Orden::Revisar;
        } else if (argumento == "--avisos") {
            opciones.orden = Orden::Avisos;
        } else if (argumento == "--historial") {
            opciones.orden = Orden::Historial;
        } else if (argumento == "--desde") {
            opciones.desde = fecha(argumento, valor());
        } else if (argumento == "--hasta") {
            opciones.hasta = fecha(argumento, valor());
        } else if (argumento == "--resultado") {
            opciones.resultado = valor();
            if (opciones.resultado != "enviado" && opciones.resultado != "rechazado" &&
                opciones.resultado != "dudoso") {
                throw ErrorDeOpciones("Valor no válido para --resultado: " + opciones.resultado +
                                      " (enviado, rechazado o dudoso)");
            }
        } else if (argumento == "--iniciar-sesion") {
            opciones.orden = Orden::IniciarSesion;
        } else if (argumento == "--con-codigo") {
            opciones.conCodigo = true;
        } else if (argumento == "--grupo") {
            opciones.grupo = valor();
        } else if (argumento == "--seleccion") {
            opciones.seleccion = valor();
            if (opciones.seleccion != "todo" && opciones.seleccion != "email" &&
                opciones.seleccion != "pendiente") {
                throw ErrorDeOpciones("Valor no válido para --seleccion: " + opciones.seleccion +
                                      " (todo, email o pendiente)");
            }
        } else if (argumento == "--reenviar") {
            opciones.reenviar = true;
        } else if (argumento == "--omitir-dudosos") {
            opciones.omitirDudosos = true;
        } else if (argumento == "--informe") {
            opciones.informe = valor();
        } else if (argumento == "--anio") {
            opciones.anio = numero(argumento, valor(), 1900, 9999);
        } else if (argumento == "--mes") {
            opciones.mes = mes(valor());
        } else if (argumento == "--tipo") {
            opciones.tipo = valor();
        } else if (argumento == "--filtro") {
            opciones.filtro = valor();
        } else if (argumento == "--help" || argumento == "-h") {
            opciones.orden = Orden::Ayuda;
        } else if (argumento == "--version") {
            opciones.orden = Orden::Version;
        } else if (argumento == "--unidad") {
            anadirUnidad(opciones.unidades, valor());
        } else if (argumento.starts_with("--unidad=")) {
            anadirUnidad(opciones.unidades, argumento.substr(std::string("--unidad=").size()));
        } else if (argumento == "--carpeta") {
            opciones.carpeta = valor();
        } else if (argumento.starts_with("--carpeta=")) {
            opciones.carpeta = argumento.substr(std::string("--carpeta=").size());
        } else if (!argumento.starts_with("-") && !opciones.carpeta) {
            opciones.carpeta = argumento; // the desktop's launcher passes the folder this way
        } else {
            throw ErrorDeOpciones("Opción desconocida: " + argumento +
                                  " (envio-documentos --help muestra las opciones)");
        }
    }
    if (opciones.reenviar && opciones.omitirDudosos) {
        throw ErrorDeOpciones("--reenviar y --omitir-dudosos no se pueden usar juntas");
    }
    if (opciones.orden == Orden::Enviar && opciones.seleccion.empty()) {
        throw ErrorDeOpciones("--enviar necesita --seleccion todo, email o pendiente");
    }
    if (opciones.orden == Orden::Revisar && opciones.seleccion.empty()) {
        throw ErrorDeOpciones("--revisar necesita --seleccion todo, email o pendiente");
    }
    if (opciones.orden == Orden::Avisos) {
        if (!opciones.seleccion.empty() && opciones.seleccion != "todo") {
            throw ErrorDeOpciones("--avisos sólo admite --seleccion todo");
        }
        if (!opciones.grupo && opciones.seleccion.empty()) {
            throw ErrorDeOpciones("--avisos necesita --grupo TEXTO o --seleccion todo");
        }
    }
    return opciones;
}

std::string textoAyuda() {
    return "Uso: envio-documentos [--carpeta CARPETA] [--unidad U:=CARPETA]...\n"
           "       envio-documentos [--carpeta CARPETA] --listar [--anio AAAA] [--mes "
           "1..12|TODOS]\n"
           "                        [--tipo TIPO] [--filtro TEXTO]\n"
           "       envio-documentos [--carpeta CARPETA] --enviar --seleccion todo|email|pendiente\n"
           "                        [--anio AAAA] [--mes 1..12|TODOS] [--tipo TIPO] [--filtro "
           "TEXTO]\n"
           "                        [--reenviar | --omitir-dudosos] [--informe FICHERO.pdf]\n"
           "       envio-documentos [--carpeta CARPETA] --revisar --seleccion "
           "todo|email|pendiente\n"
           "                        [--anio AAAA] [--mes 1..12|TODOS] [--tipo TIPO] [--filtro "
           "TEXTO]\n"
           "       envio-documentos [--carpeta CARPETA] --avisos [--grupo TEXTO] [--seleccion "
           "todo]\n"
           "                        [--informe FICHERO.pdf]\n"
           "       envio-documentos [--carpeta CARPETA] --historial [--desde AAAA-MM-DD]\n"
           "                        [--hasta AAAA-MM-DD] [--filtro TEXTO]\n"
           "                        [--resultado enviado|rechazado|dudoso]\n"
           "       envio-documentos [--carpeta CARPETA] --iniciar-sesion [--con-codigo]\n"
           "\n"
           "Envía por correo electrónico los documentos PDF (facturas o documentos de nómina)\n"
           "que deja la aplicación de gestión en sus carpetas.\n"
           "\n"
           "Opciones:\n"
           "  --carpeta CARPETA  carpeta del programa: la que contiene KRN.INI y temporal.mdb\n"
           "                     (por defecto, la carpeta del ejecutable)\n"
           "  --unidad U:=CARPETA\n"
           "  --unidad '\\\\SERVIDOR\\RECURSO=CARPETA'\n"
           "                     carpeta de este equipo donde está montada la unidad o el recurso\n"
           "                     de red que nombran las rutas de Windows de KRN.INI (se puede\n"
           "                     repetir). Las que no se indican se leen, con el mismo formato, "
           "de\n"
           "                     ~/.config/envio-documentos/unidades y "
           "/etc/envio-documentos/unidades;\n"
           "                     si tampoco están allí, se deducen cuando el resto de la ruta "
           "está\n"
           "                     en una sola de las carpetas que contienen la del programa\n"
           "  --listar           escribe la lista de documentos del periodo, uno por línea y\n"
           "                     separados por tabuladores: estado (pendiente, enviado o\n"
           "                     posiblemente enviado: un envío se interrumpió sin saber si\n"
           "                     el servidor lo recibió),\n"
           "                     destinatario, email, periodo, documento, tamaño, AAAAMMDD y ruta\n"
           "  --anio AAAA        año (por defecto, el actual)\n"
           "  --mes M            mes, de 1 a 12, o TODOS (por defecto, el actual)\n"
           "  --tipo TIPO        tipo de documento: FACTURAS, o en nómina NOMINAS, CERTIFICADOS,\n"
           "                     FINIQUITOS, CONTRATOS, COSTOS, MODELO145 (por defecto, el "
           "primero)\n"
           "  --filtro TEXTO     como el cuadro de búsqueda de la ventana\n"
           "  --enviar           envía por correo los documentos que marca --seleccion, como el\n"
           "                     enlace Enviar de la ventana; los avisos van a la salida de "
           "errores\n"
           "  --seleccion MODO   todo, email (los que tienen dirección) o pendiente\n"
           "  --revisar          revisa los documentos que marca --seleccion sin enviar nada y\n"
           "                     escribe un problema por línea, separado por tabuladores:\n"
           "                     documento, destinatario, problema y \"bloquea\" (no se "
           "enviaría)\n"
           "                     o \"aviso\"; --enviar escribe la misma revisión en la salida de\n"
           "                     errores antes de enviar\n"
           "  --reenviar         reenvía sin preguntar los documentos que ya se enviaron\n"
           "  --omitir-dudosos   envía los demás y deja sin enviar los que ya se enviaron o\n"
           "                     pueden haberse enviado (un envío interrumpido); los nombra en\n"
           "                     la salida de errores\n"
           "  --informe FICHERO  guarda el informe del envío como PDF\n"
           "  --avisos           envía a cada cliente marcado el aviso guardado en la ventana\n"
           "                     Comunicaciones masivas (en nómina, a la tabla de direcciones\n"
           "                     alternativas)\n"
           "  --grupo TEXTO      marca los clientes cuyo campo Grupo contiene TEXTO\n"
           "  --historial        escribe el historial de envíos de todos los equipos, del más\n"
           "                     reciente al más antiguo, separado por tabuladores: fecha y hora,\n"
           "                     tipo, destinatario, dirección, documento, nombre al enviar,\n"
           "                     resultado, respuesta del servidor y Message-ID\n"
           "  --desde FECHA      con --historial, desde ese día (AAAA-MM-DD)\n"
           "  --hasta FECHA      con --historial, hasta ese día incluido\n"
           "  --resultado R      con --historial, sólo enviado, rechazado o dudoso\n"
           "  --iniciar-sesion   inicia sesión con la cuenta OAuth2 (Microsoft 365, Google u otro\n"
           "                     proveedor) de la configuración del servidor, en el navegador\n"
           "                     de este equipo; los envíos renuevan después la sesión sin\n"
           "                     preguntar\n"
           "  --con-codigo       con --iniciar-sesion, para un equipo sin navegador: escribe una\n"
           "                     dirección y un código para completar el inicio de sesión en\n"
           "                     cualquier otro dispositivo\n"
           "  --help             muestra esta ayuda y termina\n"
           "  --version          muestra la versión y termina\n"
           "\n"
           "Sin más opciones abre la ventana principal. El primer argumento que no es una opción\n"
           "también se toma como carpeta del programa.\n"
           "\n"
           "Estado de salida: 0 si todo fue bien (con --enviar o --avisos, si se envió todo lo\n"
           "seleccionado; con --revisar, si no hay ningún problema); 1 si con --enviar o\n"
           "--avisos algo no se envió, si --revisar encontró algún problema o si a --historial\n"
           "le faltó el registro de algún equipo (la salida de errores dice cuál); 2 si el\n"
           "programa no pudo empezar o el envío terminó por un error (el motivo se escribe en la\n"
           "salida de errores) o las opciones no son válidas; 3 si con --enviar otro envío (de\n"
           "este u otro equipo) estaba trabajando con alguno de los documentos: no se tocan, y\n"
           "la salida de errores dice quién los tiene y desde cuándo.\n";
}

std::string textoVersion() {
    return std::string("envio-documentos ") + ENVIO_VERSION + "\n";
}

} // namespace envio::cli
