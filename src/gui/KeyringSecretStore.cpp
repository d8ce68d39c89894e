#include "gui/KeyringSecretStore.h"

#include <QEventLoop>
#include <qt6keychain/keychain.h>

namespace envio::gui {
namespace {

const QString kServicio = QStringLiteral("envio-documentos");

// Runs a job to its end on this thread.
void esperar(QKeychain::Job& job, const std::string& key) {
    job.setAutoDelete(false);
    job.setKey(QString::fromStdString(key));
    QEventLoop bucle;
    QObject::connect(&job, &QKeychain::Job::finished, &bucle, &QEventLoop::quit);
    job.start();
    bucle.exec();
}

// No keyring on this desktop (or none that answers): the file store stands in.
bool sinLlavero(QKeychain::Error error) {
    return error == QKeychain::NoBackendAvailable || error == QKeychain::NotImplemented ||
           error == QKeychain::OtherError;
}

} // namespace

KeyringSecretStore::KeyringSecretStore(std::filesystem::path fileFolder)
    : file_(std::move(fileFolder)) {}

std::optional<std::string> KeyringSecretStore::read(const std::string& key) {
    QKeychain::ReadPasswordJob job(kServicio);
    esperar(job, key);
    if (job.error() == QKeychain::NoError) {
        return job.textData().toStdString();
    }
    if (job.error() == QKeychain::EntryNotFound || sinLlavero(job.error())) {
        return file_.read(key);
    }
    throw SecretStoreError("No se pudo leer el llavero del escritorio: " +
                           job.errorString().toStdString());
}

void KeyringSecretStore::write(const std::string& key, const std::string& secret) {
    QKeychain::WritePasswordJob job(kServicio);
    job.setTextData(QString::fromStdString(secret));
    esperar(job, key);
    if (job.error() == QKeychain::NoError) {
        // One place only: an older copy in the file would outlive a revoked sign-in.
        file_.erase(key);
        return;
    }
    if (sinLlavero(job.error())) {
        file_.write(key, secret);
        return;
    }
    throw SecretStoreError("No se pudo guardar en el llavero del escritorio: " +
                           job.errorString().toStdString());
}

void KeyringSecretStore::erase(const std::string& key) {
    QKeychain::DeletePasswordJob job(kServicio);
    esperar(job, key);
    file_.erase(key);
}

} // namespace envio::gui
