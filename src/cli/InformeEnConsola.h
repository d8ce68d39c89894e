#pragma once

#include "report/VisorInforme.h"

#include <ostream>

namespace envio::cli {

// Without --informe a run's report has nowhere to go: the command says where its rows are.
class InformeEnConsola : public VisorInforme {
public:
    explicit InformeEnConsola(std::ostream& salida) : salida_(salida) {}
    void mostrar(const SolicitudInforme& s) override {
        salida_ << s.TituloInforme << " — " << s.DetalleInforme << " (tabla INFORMETMP2008 de "
                << s.BaseDatosInforme.string() << ")\n";
    }

private:
    std::ostream& salida_;
};

} // namespace envio::cli
