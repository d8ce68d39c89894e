#pragma once

// Window tests find a window's controls as a user's tools would: by their object names.
#include <QObject>
#include <QString>
#include <QtGlobal>

namespace envio::test {

// The control named `nombre` inside `ventana`; a missing control ends the test program at once,
// naming it, since every check after it would only fail for the same reason.
template <typename T> T* control(const QObject& ventana, const QString& nombre) {
    T* hallado = ventana.findChild<T*>(nombre);
    if (hallado == nullptr) {
        qFatal("No control named %s", qPrintable(nombre));
    }
    return hallado;
}

} // namespace envio::test
