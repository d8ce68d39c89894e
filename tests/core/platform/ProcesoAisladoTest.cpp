#include "platform/ProcesoAislado.h"

#include <csignal>
#include <gtest/gtest.h>
#include <thread>

namespace envio {
namespace {

using namespace std::chrono_literals;

TEST(ProcesoAisladoTest, ReturnsTheChildsBytesOrItsErrorText) {
    EXPECT_EQ(ejecutarAislado([] { return std::string("fila\0uno", 8); }, 5s, 100),
              std::string("fila\0uno", 8));
    try {
        ejecutarAislado([]() -> std::string { throw std::runtime_error("tabla inexistente"); }, 5s,
                        100);
        FAIL();
    } catch (const ErrorDelTrabajo& e) {
        EXPECT_STREQ(e.what(), "tabla inexistente");
    }
}

TEST(ProcesoAisladoTest, ACrashOrALoopInTheChildIsAnErrorNotTheProgramsEnd) {
    EXPECT_THROW(ejecutarAislado(
                     []() -> std::string {
                         std::raise(SIGSEGV);
                         return "";
                     },
                     5s, 100),
                 FalloAislado);
    EXPECT_THROW(ejecutarAislado([]() -> std::string { ::_exit(3); }, 5s, 100), FalloAislado);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(ejecutarAislado(
                     []() -> std::string {
                         for (;;) {
                             std::this_thread::sleep_for(10ms);
                         }
                     },
                     300ms, 100),
                 FalloAislado);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_THROW(ejecutarAislado([] { return std::string(1000, 'x'); }, 5s, 100), FalloAislado);
}

} // namespace
} // namespace envio
