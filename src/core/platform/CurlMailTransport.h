#pragma once

#include "platform/MailTransport.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>

namespace envio {

struct OpcionesCurl {
    // A site whose server presents a certificate of its own authority names that authority
    // here; empty means the system's store. Verification itself is never turned off.
    std::optional<std::filesystem::path> archivoCA;
    // Longest wait for any one reply of the server, including the one after the message data,
    // which nothing else bounds.
    std::chrono::seconds esperaRespuesta{60};
    // SSL on this port means TLS from the first byte; on any other, STARTTLS.
    int puertoTlsImplicito = 465;
};

// The mail component over libcurl. Keeps one handle, and with it the open connection, from one
// message to the next, so a run of many documents logs in once.
class CurlMailTransport final : public MailTransport {
public:
    explicit CurlMailTransport(OpcionesCurl opciones = {});
    ~CurlMailTransport() override;
    CurlMailTransport(const CurlMailTransport&) = delete;
    CurlMailTransport& operator=(const CurlMailTransport&) = delete;

    ResultadoEnvio enviar(const ConfiguracionSmtp& configuracion,
                          const MensajeSmtp& mensaje) override;

private:
    struct Estado;
    std::unique_ptr<Estado> estado_;
};

} // namespace envio
