#include "gui/KeyringSecretStore.h"

#include <QEventLoop>
#include <qt6keychain/keychain.h>

namespace envio::gui {
namespace {

const QString kService = QStringLiteral("envio-documentos");

// Runs a job to its end on this thread.
void runToEnd(QKeychain::Job& job, const std::string& key) {
    job.setAutoDelete(false);
    job.setKey(QString::fromStdString(key));
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.start();
    loop.exec();
}

// No keyring on this desktop (or none that answers): the file store stands in.
bool noKeyring(QKeychain::Error error) {
    return error == QKeychain::NoBackendAvailable || error == QKeychain::NotImplemented ||
           error == QKeychain::OtherError;
}

} // namespace

KeyringSecretStore::KeyringSecretStore(std::filesystem::path fileFolder)
    : file_(std::move(fileFolder)) {}

std::optional<std::string> KeyringSecretStore::read(const std::string& key) {
    QKeychain::ReadPasswordJob job(kService);
    runToEnd(job, key);
    if (job.error() == QKeychain::NoError) {
        return job.textData().toStdString();
    }
    if (job.error() == QKeychain::EntryNotFound || noKeyring(job.error())) {
        return file_.read(key);
    }
    throw SecretStoreError("No se pudo leer el llavero del escritorio: " +
                           job.errorString().toStdString());
}

void KeyringSecretStore::write(const std::string& key, const std::string& secret) {
    QKeychain::WritePasswordJob job(kService);
    job.setTextData(QString::fromStdString(secret));
    runToEnd(job, key);
    if (job.error() == QKeychain::NoError) {
        // One place only: an older copy in the file would outlive a revoked sign-in.
        file_.erase(key);
        return;
    }
    if (noKeyring(job.error())) {
        file_.write(key, secret);
        return;
    }
    throw SecretStoreError("No se pudo guardar en el llavero del escritorio: " +
                           job.errorString().toStdString());
}

void KeyringSecretStore::erase(const std::string& key) {
    QKeychain::DeletePasswordJob job(kService);
    runToEnd(job, key);
    file_.erase(key);
}

} // namespace envio::gui
