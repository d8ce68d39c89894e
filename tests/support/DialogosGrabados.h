#pragma once

#include "ui/Dialogos.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

namespace envio::test {

// Records every box the core shows and answers questions from a script (No when the script has
// run out). Safe to use from a run's worker thread.
class DialogosGrabados : public Dialogos {
public:
    Respuesta mostrar(const CuadroMensaje& cuadro) override {
        std::unique_lock lock(mutex_);
        cuadros_.push_back(cuadro);
        soltadas_.wait(lock, [this] { return !retenidas_; });
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
    // While held, a box is recorded but not answered: the worker that showed it waits, as it
    // would while the user reads the box.
    void retener(bool retener) {
        {
            std::lock_guard lock(mutex_);
            retenidas_ = retener;
        }
        soltadas_.notify_all();
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
    std::condition_variable soltadas_;
    bool retenidas_ = false;
    std::deque<Respuesta> respuestas_;
    std::vector<CuadroMensaje> cuadros_;
};

} // namespace envio::test
