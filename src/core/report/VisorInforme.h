#pragma once

#include "report/SolicitudInforme.h"

namespace envio {

// Where a run's report is shown. The runs only know this interface, so that they and their tests
// need no windows; the desktop program opens the report window modally behind it.
class VisorInforme {
public:
    virtual ~VisorInforme() = default;
    // Returns when the user has closed the report. Failures (a missing definition, an unreadable
    // work database) are shown to the user by the viewer itself: the run has finished its work.
    virtual void mostrar(const SolicitudInforme& solicitud) = 0;
};

} // namespace envio
