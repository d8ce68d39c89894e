#pragma once

#include "platform/Shell.h"
#include "ui/Dialogos.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

namespace envio::gui {

// The core's message boxes as real message boxes, over the window that owns them. A caller on a
// worker thread (a sending run) waits while the box is shown on the window's thread.
class DialogosQt : public QObject, public Dialogos {
    Q_OBJECT
public:
    explicit DialogosQt(QWidget* propietario = nullptr);
    void ponerPropietario(QWidget* propietario);

    Respuesta mostrar(const CuadroMensaje& cuadro) override;
    // The review window, modal over the owner; a worker thread waits for the user's choice.
    DecisionRevision revisar(const std::vector<Hallazgo>& hallazgos) override;

private:
    Respuesta mostrarAqui(const CuadroMensaje& cuadro);
    QPointer<QWidget> propietario_;
};

// Opens documents with the program the desktop associates with them.
class ShellQt : public Shell {
public:
    bool open(const std::filesystem::path& file, std::string_view parameters,
              const std::filesystem::path& workingFolder) override;
};

} // namespace envio::gui
