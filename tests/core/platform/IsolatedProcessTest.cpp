#include "platform/IsolatedProcess.h"

#include <csignal>
#include <gtest/gtest.h>
#include <thread>

namespace envio {
namespace {

using namespace std::chrono_literals;

TEST(IsolatedProcessTest, ReturnsTheChildsBytesOrItsErrorText) {
    EXPECT_EQ(runIsolated([] { return std::string("fila\0uno", 8); }, 5s, 100),
              std::string("fila\0uno", 8));
    try {
        runIsolated([]() -> std::string { throw std::runtime_error("tabla inexistente"); }, 5s,
                    100);
        FAIL();
    } catch (const JobError& e) {
        EXPECT_STREQ(e.what(), "tabla inexistente");
    }
}

TEST(IsolatedProcessTest, ACrashOrALoopInTheChildIsAnErrorNotTheProgramsEnd) {
    EXPECT_THROW(runIsolated(
                     []() -> std::string {
                         std::raise(SIGSEGV);
                         return "";
                     },
                     5s, 100),
                 IsolationFailure);
    EXPECT_THROW(runIsolated([]() -> std::string { ::_exit(3); }, 5s, 100), IsolationFailure);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(runIsolated(
                     []() -> std::string {
                         for (;;) {
                             std::this_thread::sleep_for(10ms);
                         }
                     },
                     300ms, 100),
                 IsolationFailure);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_THROW(runIsolated([] { return std::string(1000, 'x'); }, 5s, 100), IsolationFailure);
}

} // namespace
} // namespace envio
