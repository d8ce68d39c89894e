#include "platform/Reloj.h"

#include <ctime>
#include <thread>

namespace envio {

Fecha RelojDelSistema::hoy() const {
    const std::time_t now = std::chrono::system_clock::to_time_t(ahora());
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

std::chrono::system_clock::time_point RelojDelSistema::ahora() const {
    return std::chrono::system_clock::now();
}

void RelojDelSistema::esperar(std::chrono::milliseconds duracion) const {
    std::this_thread::sleep_for(duracion);
}

} // namespace envio
