#pragma once

#include "platform/PdfEngine.h"

#include <atomic>
#include <fstream>
#include <stdexcept>

namespace envio::test {

// A PDF engine whose text is the file's bytes and whose protected copy is the file with the
// password in front, or that refuses to protect: for runs whose PDFs are beside the point.
class PdfFalso : public PdfEngine {
public:
    std::optional<std::string> texto(const std::filesystem::path& pdf, const Basta&) override {
        std::ifstream in(pdf, std::ios::binary);
        return in ? std::optional(std::string(std::istreambuf_iterator<char>(in), {}))
                  : std::nullopt;
    }
    void cifrar(const std::filesystem::path& origen, const std::filesystem::path& destino,
                const std::string& contrasena) override {
        ++copias;
        if (fallar) {
            throw std::runtime_error("No se pudo proteger " + origen.filename().string());
        }
        std::ofstream(destino, std::ios::binary) << contrasena << *texto(origen, {});
    }

    bool fallar = false;
    std::atomic<int> copias{0};
};

} // namespace envio::test
