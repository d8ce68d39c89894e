// When the run may work beside the message on the wire.
#include "mail/LineaEnvio.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>

namespace envio {
namespace {

// A message whose data never all go (a slow link, a server that reads slowly) frees the run all
// the same after a moment: the answer before gets settled and shown without waiting for a whole
// upload. The message stays on the wire until the run was let go (ten seconds at most, so that a
// line that kept the run waiting for the data fails here instead of hanging).
TEST(LineaEnvioTest, DataThatTakeLongDoNotHoldTheRunBack) {
    const std::atomic<bool> cancelar{false};
    std::mutex m;
    std::condition_variable cambio;
    bool soltar = false;
    LineaEnvio linea(cancelar);
    linea.poner([&](const std::function<void()>&) {
        std::unique_lock bloqueo(m);
        cambio.wait_for(bloqueo, std::chrono::seconds(10), [&] { return soltar; });
        return true;
    });
    const auto estado =
        linea.esperar([](const LineaEnvio::Estado& e) { return !e.esperando && e.libre; });
    EXPECT_EQ(estado.hechas, 0U) << "the run was held until the message had gone";
    {
        const std::lock_guard bloqueo(m);
        soltar = true;
    }
    cambio.notify_all();
}

} // namespace
} // namespace envio
