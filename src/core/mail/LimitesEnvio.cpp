#include "mail/LimitesEnvio.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace envio {
namespace {

using namespace std::chrono_literals;

constexpr auto kMinuto = std::chrono::seconds(60);
constexpr auto kDia = std::chrono::hours(24);

} // namespace

LimitesEnvio::LimitesEnvio(LimitesCuenta limites, const std::vector<Momento>& enviados)
    : limites_(limites) {
    std::vector<Momento> ordenados = enviados;
    std::sort(ordenados.begin(), ordenados.end());
    ultimoDia_.assign(ordenados.begin(), ordenados.end());
    ultimoMinuto_.assign(ordenados.begin(), ordenados.end());
}

void LimitesEnvio::olvidarAntiguos(Momento ahora) const {
    while (!ultimoMinuto_.empty() && ultimoMinuto_.front() <= ahora - kMinuto) {
        ultimoMinuto_.pop_front();
    }
    while (!ultimoDia_.empty() && ultimoDia_.front() <= ahora - kDia) {
        ultimoDia_.pop_front();
    }
}

std::chrono::seconds LimitesEnvio::esperaPorRitmo(Momento ahora) const {
    olvidarAntiguos(ahora);
    const auto limite = static_cast<std::size_t>(limites_.porMinuto);
    if (limites_.porMinuto <= 0 || ultimoMinuto_.size() < limite) {
        return 0s;
    }
    // The window frees a place when the message that many places back turns a minute old;
    // rounded up, so that a wait never ends a moment too soon.
    const Momento libre = ultimoMinuto_[ultimoMinuto_.size() - limite] + kMinuto;
    return std::chrono::ceil<std::chrono::seconds>(libre - ahora);
}

std::optional<LimitesEnvio::Momento> LimitesEnvio::topeAlcanzado(Momento ahora) const {
    olvidarAntiguos(ahora);
    const auto limite = static_cast<std::size_t>(limites_.porDia);
    if (limites_.porDia <= 0 || ultimoDia_.size() < limite) {
        return std::nullopt;
    }
    return ultimoDia_[ultimoDia_.size() - limite] + kDia;
}

bool LimitesEnvio::cabenEnVuelo(Momento ahora, std::size_t enVuelo) const {
    if (esperaPorRitmo(ahora) > 0s) {
        return false;
    }
    return limites_.porDia <= 0 ||
           ultimoDia_.size() + enVuelo + 1 <= static_cast<std::size_t>(limites_.porDia);
}

void LimitesEnvio::anotarIntento(Momento cuando) {
    ultimoMinuto_.push_back(cuando);
}

void LimitesEnvio::anotarEnvio(Momento cuando) {
    ultimoDia_.push_back(cuando);
}

std::optional<LimitesEnvio::Momento> momentoDeHoraUtc(const std::string& hora) {
    std::tm utc{};
    char z = 0;
    if (std::sscanf(hora.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &utc.tm_year, &utc.tm_mon,
                    &utc.tm_mday, &utc.tm_hour, &utc.tm_min, &utc.tm_sec, &z) != 7 ||
        z != 'Z') {
        return std::nullopt;
    }
    utc.tm_year -= 1900;
    utc.tm_mon -= 1;
    return std::chrono::system_clock::from_time_t(timegm(&utc));
}

std::string horaUtcDe(LimitesEnvio::Momento momento) {
    const std::time_t t = std::chrono::system_clock::to_time_t(momento);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char texto[32];
    std::strftime(texto, sizeof texto, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return texto;
}

std::string fechaHoraLegible(LimitesEnvio::Momento momento) {
    const std::time_t t =
        std::chrono::system_clock::to_time_t(std::chrono::ceil<std::chrono::minutes>(momento));
    std::tm local{};
    localtime_r(&t, &local);
    char texto[48];
    std::strftime(texto, sizeof texto, "el %d/%m/%Y a las %H:%M", &local);
    return texto;
}

} // namespace envio
