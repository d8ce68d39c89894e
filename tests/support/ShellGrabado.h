#pragma once

#include "platform/Shell.h"

#include <filesystem>
#include <vector>

namespace envio::test {

// Answers as the desktop would (`resultado`) and records what it was asked to open.
class ShellGrabado : public Shell {
public:
    bool open(const std::filesystem::path& file, std::string_view,
              const std::filesystem::path&) override {
        abiertos.push_back(file);
        return resultado;
    }

    bool resultado = true;
    std::vector<std::filesystem::path> abiertos;
};

} // namespace envio::test
