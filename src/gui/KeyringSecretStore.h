#pragma once

#include "platform/SecretStore.h"

namespace envio::gui {

// The desktop's keyring (Secret Service, KWallet) through QtKeychain, with the file store
// beside it: a secret goes to the keyring where there is one and to the file otherwise, and is
// looked for in both, so that a sign-in made from the command line (always in the file) serves
// the window too. Needs a QCoreApplication; each call waits for its job on the calling thread.
class KeyringSecretStore final : public SecretStore {
public:
    explicit KeyringSecretStore(std::filesystem::path fileFolder);

    std::optional<std::string> read(const std::string& key) override;
    void write(const std::string& key, const std::string& secret) override;
    void erase(const std::string& key) override;

private:
    FileSecretStore file_;
};

} // namespace envio::gui
