#pragma once

#include <filesystem>
#include <string_view>

namespace envio {

// Opens a file with the program the desktop associates with it. The real one lives in the
// window layer (it needs the desktop session); tests record the calls.
class Shell {
public:
    virtual ~Shell() = default;
    // Whether the desktop opened it.
    virtual bool abrir(const std::filesystem::path& archivo, std::string_view parametros,
                       const std::filesystem::path& carpetaTrabajo) = 0;
};

} // namespace envio
