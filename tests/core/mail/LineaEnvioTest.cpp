// When the run may work beside the message on the wire.
#include "mail/LineaEnvio.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace envio {
namespace {

// A message whose data never all go (a slow link, a server that reads slowly) frees the run all
// the same after a moment: the answer before gets settled and shown without waiting for a whole
// upload. The task is held until the run was let go, so a line that kept the run waiting for the
// data would never end.
TEST(LineaEnvioTest, DataThatTakeLongDoNotHoldTheRunBack) {
    const std::atomic<bool> cancelar{false};
    std::atomic<bool> soltar{false};
    LineaEnvio linea(cancelar);
    linea.poner([&](const std::function<void()>&) {
        while (!soltar) {
            std::this_thread::yield();
        }
        return true;
    });
    const auto estado =
        linea.esperar([](const LineaEnvio::Estado& e) { return !e.esperando && e.libre; });
    EXPECT_EQ(estado.hechas, 0U) << "the message was still on the wire";
    soltar = true;
}

} // namespace
} // namespace envio
