#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace envio {

class SecretStoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Where a long-lived secret (a sign-in's refresh token) is kept, by a key of the caller's.
// Never KRN.INI: that file is shared by every machine and user of the office.
class SecretStore {
public:
    virtual ~SecretStore() = default;
    // Nothing when there is no secret under `key`; throws SecretStoreError when the store
    // cannot be read.
    virtual std::optional<std::string> read(const std::string& key) = 0;
    virtual void write(const std::string& key, const std::string& secret) = 0;
    virtual void erase(const std::string& key) = 0;
};

// One file per key, readable and writable by this user only (0600, in a 0700 folder), written
// whole or not at all. Works with no desktop session: the store of command-line and scheduled
// runs, and of the window where the desktop has no keyring.
class FileSecretStore final : public SecretStore {
public:
    explicit FileSecretStore(std::filesystem::path folder);
    // $XDG_CONFIG_HOME/envio-documentos/sesiones, else ~/.config/envio-documentos/sesiones.
    static std::filesystem::path defaultFolder();

    std::optional<std::string> read(const std::string& key) override;
    void write(const std::string& key, const std::string& secret) override;
    void erase(const std::string& key) override;

    [[nodiscard]] std::filesystem::path pathOf(const std::string& key) const;

private:
    std::filesystem::path folder_;
};

// The store the program's own runs use: the file store unless the window layer installed
// another (the desktop's keyring) at start-up, before any run.
SecretStore& programSecretStore();
void installProgramSecretStore(std::unique_ptr<SecretStore> store);

} // namespace envio
