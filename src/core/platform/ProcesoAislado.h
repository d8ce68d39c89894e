#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

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

// The child could not even be started (no pipe, no process, the program gone): nothing was read,
// and the file is not to blame.
class FalloAlIniciar : public FalloAislado {
public:
    using FalloAislado::FalloAislado;
};

class ErrorDelTrabajo : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string ejecutarAislado(const std::function<std::string()>& trabajo,
                            std::chrono::milliseconds silencioMaximo, std::size_t bytesMaximos);

// The same for a separate program, started afresh: nothing of this process's state (locks that
// other threads held at the moment of a fork) goes with it. The program answers on its standard
// output with `respuestaAislada`'s bytes.
std::string ejecutarPrograma(const std::filesystem::path& programa,
                             const std::vector<std::string>& argumentos,
                             std::chrono::milliseconds silencioMaximo, std::size_t bytesMaximos);

// What a child or a separate program writes back: the result of `trabajo`, or the text of what
// it threw.
std::string respuestaAislada(const std::function<std::string()>& trabajo);

} // namespace envio
