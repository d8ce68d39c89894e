#pragma once

#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>

namespace envio {

// Runs `trabajo` in a child process and returns the bytes it produced. Used for work that a
// library may get wrong on bad input (a crash, an endless loop): the child dies, the program
// carries on. The child is killed when it stays silent for `silencioMaximo` or produces more
// than `bytesMaximos`. Throws FalloAislado (with the reason, in the user's words) when the child
// crashes or is killed, and ErrorDelTrabajo with the text of what `trabajo` threw.
class FalloAislado : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ErrorDelTrabajo : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string ejecutarAislado(const std::function<std::string()>& trabajo,
                            std::chrono::milliseconds silencioMaximo, std::size_t bytesMaximos);

} // namespace envio
