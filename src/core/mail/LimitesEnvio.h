#pragma once

#include <chrono>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace envio {

// How much one mailbox may send: messages in any minute and in any 24 hours; 0 is no limit.
struct LimitesCuenta {
    int porMinuto = 0;
    int porDia = 0;
    bool operator==(const LimitesCuenta&) const = default;
};

// Exchange Online: 30 messages a minute and 10,000 recipients a day per mailbox (Microsoft's
// "Exchange Online limits", sending limits); counted here by message.
inline constexpr LimitesCuenta kLimitesMicrosoft365{30, 10000};
// Google Workspace: 2,000 messages a day per user (Google's "Gmail sending limits in Google
// Workspace"; a free Gmail account has 500). Google publishes no figure per minute: 20 is this
// program's cautious choice.
inline constexpr LimitesCuenta kLimitesGmail{20, 2000};

// The pace and daily cap of the account over a run. It starts from what the ledgers of every
// machine say went out in the last 24 hours and adds each message of this run, so a cap holds
// across runs and machines without a counter of its own.
class LimitesEnvio {
public:
    using Momento = std::chrono::system_clock::time_point;

    // `enviados`: when each recent message that may have reached the server left.
    LimitesEnvio(LimitesCuenta limites, const std::vector<Momento>& enviados);

    // How long the next message must wait for the pace; zero when it may go now.
    [[nodiscard]] std::chrono::seconds esperaPorRitmo(Momento ahora) const;
    // When the daily cap is used up: the moment one more message may go. Nothing while there
    // is room.
    [[nodiscard]] std::optional<Momento> topeAlcanzado(Momento ahora) const;
    // Whether one more message may go now while `enVuelo` others are still unanswered, counted
    // for the pace but not yet for the day: the pace lets it go and the cap has room for all.
    [[nodiscard]] bool cabenEnVuelo(Momento ahora, std::size_t enVuelo) const;

    // Each message handed to the server, whatever came of it: a refused try counts for the
    // pace, which the server keeps by connections and commands, not by deliveries.
    void anotarIntento(Momento cuando);
    // Each message that may have reached its recipient: what the daily cap counts.
    void anotarEnvio(Momento cuando);

private:
    void olvidarAntiguos(Momento ahora) const;

    LimitesCuenta limites_;
    mutable std::deque<Momento> ultimoMinuto_;
    mutable std::deque<Momento> ultimoDia_;
};

// The moment a ledger's `hora` ("2026-03-02T10:15:00Z") stands for; nothing for another text.
std::optional<LimitesEnvio::Momento> momentoDeHoraUtc(const std::string& hora);
// `momento` as a ledger writes `hora`.
std::string horaUtcDe(LimitesEnvio::Momento momento);
// "el 02/03/2026 a las 11:15", local time, for the user.
std::string fechaHoraLegible(LimitesEnvio::Momento momento);

} // namespace envio
