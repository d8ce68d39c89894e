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
    virtual bool open(const std::filesystem::path& file, std::string_view parameters,
                      const std::filesystem::path& workingFolder) = 0;
};

} // namespace envio
