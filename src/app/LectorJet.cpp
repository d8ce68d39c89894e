// envio-lector-jet: reads one Access file for the program, in a process of its own, so that a
// damaged file that makes libmdb crash or loop takes down only this reader. The answer goes to
// the standard output; the program is not meant to be run by hand.
#include "platform/MotorJet.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char* argv[]) {
    const std::string answer =
        envio::responderLecturaJet(std::vector<std::string>(argv + 1, argv + argc));
    return std::fwrite(answer.data(), 1, answer.size(), stdout) == answer.size() &&
                   std::fflush(stdout) == 0
               ? 0
               : 1;
}
