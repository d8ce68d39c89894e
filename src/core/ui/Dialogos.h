#pragma once

#include "revision/Hallazgo.h"

#include <string>
#include <vector>

namespace envio {

enum class Icono { Informacion, Critico, Exclamacion, Pregunta };
enum class Botones { Aceptar, SiNo };
enum class Respuesta { Aceptar, Si, No };

// A message box as the program shows it: the exact text, title, icon and buttons.
struct CuadroMensaje {
    std::string texto;
    std::string titulo;
    Icono icono = Icono::Informacion;
    Botones botones = Botones::Aceptar;

    bool operator==(const CuadroMensaje&) const = default;
};

// How the core talks to the user. The windows show real message boxes (on the window's thread,
// waiting for the answer even when the caller runs on a worker thread); the command line prints
// them; tests script the answers and record every box.
class Dialogos {
public:
    virtual ~Dialogos() = default;
    virtual Respuesta mostrar(const CuadroMensaje& cuadro) = 0;
    // "Revisar antes de enviar": a run's findings, all at once, before anything is sent. The
    // window lets the user untick rows or send nothing; where nobody can be asked, the run
    // goes on as "Enviar" does.
    virtual DecisionRevision revisar(const std::vector<Hallazgo>& /*hallazgos*/) { return {}; }
};

} // namespace envio
