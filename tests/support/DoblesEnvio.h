#pragma once

#include "platform/ConnectivityProbe.h"
#include "platform/MailTransport.h"
#include "report/VisorInforme.h"

#include <functional>
#include <vector>

namespace envio::test {

// A connection check that answers what the test says.
class SondaFija : public ConnectivityProbe {
public:
    bool conectado = true;
    bool hasConnection(std::string_view) override { return conectado; }
};

// The real component, with hooks just before a message goes and just after the server answered.
class ComponenteEspia : public MailTransport {
public:
    explicit ComponenteEspia(MailTransport& real) : real_(real) {}
    std::function<void(const MensajeSmtp&)> antes;
    std::function<void(const MensajeSmtp&, const ResultadoEnvio&)> despues;
    ResultadoEnvio enviar(const ConfiguracionSmtp& c, const MensajeSmtp& m) override {
        if (antes) {
            antes(m);
        }
        ResultadoEnvio r = real_.enviar(c, m);
        if (despues) {
            despues(m, r);
        }
        return r;
    }

private:
    MailTransport& real_;
};

// A report viewer that keeps every request in a list the test owns.
class VisorEnLista : public VisorInforme {
public:
    explicit VisorEnLista(std::vector<SolicitudInforme>& solicitudes) : s_(solicitudes) {}
    void mostrar(const SolicitudInforme& s) override { s_.push_back(s); }

private:
    std::vector<SolicitudInforme>& s_;
};

} // namespace envio::test
