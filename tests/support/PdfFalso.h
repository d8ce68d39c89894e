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
    std::optional<std::string> text(const std::filesystem::path& pdf, const StopWhen&) override {
        std::ifstream in(pdf, std::ios::binary);
        return in ? std::optional(std::string(std::istreambuf_iterator<char>(in), {}))
                  : std::nullopt;
    }
    void encrypt(const std::filesystem::path& source, const std::filesystem::path& target,
                 const std::string& password) override {
        ++copias;
        if (fallar) {
            throw std::runtime_error("No se pudo proteger " + source.filename().string());
        }
        std::ofstream(target, std::ios::binary) << password << *text(source, {});
    }

    bool fallar = false;
    std::atomic<int> copias{0};
};

} // namespace envio::test
