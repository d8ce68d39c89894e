#pragma once

#include "platform/Reloj.h"

namespace envio::test {

class RelojFijo : public Reloj {
public:
    explicit RelojFijo(Fecha fecha) : fecha_(fecha) {}
    [[nodiscard]] Fecha hoy() const override { return fecha_; }
    [[nodiscard]] std::chrono::system_clock::time_point ahora() const override {
        return std::chrono::system_clock::time_point{} + std::chrono::hours(24 * 20000);
    }
    void esperar(std::chrono::milliseconds) const override {}

private:
    Fecha fecha_;
};

} // namespace envio::test
