#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace envio::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    [[nodiscard]] const std::filesystem::path& path() const { return path_; }
    [[nodiscard]] std::filesystem::path operator/(std::string_view name) const;

    // Writes `bytes` exactly as given and returns the file's path.
    std::filesystem::path write(std::string_view name, std::string_view bytes) const;
    [[nodiscard]] std::string read(std::string_view name) const;
    static std::string readPath(const std::filesystem::path& file);
    static void writePath(const std::filesystem::path& file, std::string_view bytes);

private:
    std::filesystem::path path_;
};

} // namespace envio::test
