#pragma once

#include "ui/Dialogos.h"

#include <deque>
#include <mutex>
#include <vector>

namespace envio::test {

// Records every box the core shows and answers questions from a script (No when the script has
// run out). Safe to use from a run's worker thread.
class DialogosGrabados : public Dialogos {
public:
    Respuesta mostrar(const CuadroMensaje& cuadro) override {
        std::lock_guard lock(mutex_);
        cuadros_.push_back(cuadro);
        if (cuadro.botones == Botones::Aceptar) {
            return Respuesta::Aceptar;
        }
        if (respuestas_.empty()) {
            return Respuesta::No;
        }
        const Respuesta r = respuestas_.front();
        respuestas_.pop_front();
        return r;
    }

    void responder(Respuesta r) {
        std::lock_guard lock(mutex_);
        respuestas_.push_back(r);
    }
    std::vector<CuadroMensaje> cuadros() const {
        std::lock_guard lock(mutex_);
        return cuadros_;
    }
    std::vector<std::string> textos() const {
        std::lock_guard lock(mutex_);
        std::vector<std::string> out;
        for (const auto& c : cuadros_) {
            out.push_back(c.texto);
        }
        return out;
    }

private:
    mutable std::mutex mutex_;
    std::deque<Respuesta> respuestas_;
    std::vector<CuadroMensaje> cuadros_;
};

} // namespace envio::test
