#include "gui/DialogosQt.h"

#include "gui/FrmRevision.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QThread>
#include <QUrl>

namespace envio::gui {
namespace {

QMessageBox::Icon iconoQt(Icono icono) {
    switch (icono) {
    case Icono::Critico:
        return QMessageBox::Critical;
    case Icono::Exclamacion:
        return QMessageBox::Warning;
    case Icono::Pregunta:
        return QMessageBox::Question;
    case Icono::Informacion:
        break;
    }
    return QMessageBox::Information;
}

} // namespace

DialogosQt::DialogosQt(QWidget* propietario) : propietario_(propietario) {}

void DialogosQt::ponerPropietario(QWidget* propietario) {
    propietario_ = propietario;
}

Respuesta DialogosQt::mostrar(const CuadroMensaje& cuadro) {
    if (QCoreApplication::instance() == nullptr) {
        return cuadro.botones == Botones::SiNo ? Respuesta::No : Respuesta::Aceptar;
    }
    if (QThread::currentThread() == thread()) {
        return mostrarAqui(cuadro);
    }
    Respuesta respuesta = Respuesta::No;
    QMetaObject::invokeMethod(
        this, [&] { respuesta = mostrarAqui(cuadro); }, Qt::BlockingQueuedConnection);
    return respuesta;
}

DecisionRevision DialogosQt::revisar(const std::vector<Hallazgo>& hallazgos) {
    if (QCoreApplication::instance() == nullptr) {
        return {};
    }
    const auto mostrarVentana = [&] {
        FrmRevision ventana(hallazgos, propietario_.data());
        ventana.exec();
        return ventana.decision();
    };
    if (QThread::currentThread() == thread()) {
        return mostrarVentana();
    }
    DecisionRevision decision{false, {}};
    QMetaObject::invokeMethod(
        this, [&] { decision = mostrarVentana(); }, Qt::BlockingQueuedConnection);
    return decision;
}

Respuesta DialogosQt::mostrarAqui(const CuadroMensaje& cuadro) {
    QMessageBox caja(iconoQt(cuadro.icono), QString::fromStdString(cuadro.titulo),
                     QString::fromStdString(cuadro.texto), QMessageBox::NoButton,
                     propietario_.data());
    caja.setTextFormat(Qt::PlainText);
    if (cuadro.botones == Botones::SiNo) {
        caja.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        caja.button(QMessageBox::Yes)->setText(QStringLiteral("&Sí"));
        caja.button(QMessageBox::No)->setText(QStringLiteral("&No"));
        caja.setDefaultButton(QMessageBox::Yes);
        caja.setEscapeButton(QMessageBox::No);
    } else {
        caja.setStandardButtons(QMessageBox::Ok);
        caja.button(QMessageBox::Ok)->setText(QStringLiteral("Aceptar"));
    }
    const int boton = caja.exec();
    if (cuadro.botones == Botones::SiNo) {
        return boton == QMessageBox::Yes ? Respuesta::Si : Respuesta::No;
    }
    return Respuesta::Aceptar;
}

bool ShellQt::open(const std::filesystem::path& file, std::string_view,
                   const std::filesystem::path&) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(file.string())));
}

} // namespace envio::gui
