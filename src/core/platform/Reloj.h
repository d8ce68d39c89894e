#pragma once

#include <chrono>

namespace envio {

struct Fecha {
    int anio = 0;
    int mes = 0; // 1..12
    int dia = 0;
};

// The current local date and time; tests set it.
class Reloj {
public:
    virtual ~Reloj() = default;
    [[nodiscard]] virtual Fecha hoy() const = 0;
    [[nodiscard]] virtual std::chrono::system_clock::time_point ahora() const = 0;
    // Lets `duracion` pass: a real pause here, a step of the hands in tests.
    virtual void esperar(std::chrono::milliseconds duracion) const = 0;
};

class RelojDelSistema : public Reloj {
public:
    [[nodiscard]] Fecha hoy() const override;
    [[nodiscard]] std::chrono::system_clock::time_point ahora() const override;
    void esperar(std::chrono::milliseconds duracion) const override;
};

} // namespace envio
