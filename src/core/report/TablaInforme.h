#pragma once

#include "database/BaseDatos.h"

#include <filesystem>
#include <memory>
#include <string>

namespace envio {

// A run's rows in the work table: emptied when the run starts, one row per message sent. Values
// longer than a field are shortened, never refused: the message already went out.
class TablaInforme {
public:
    // Opens the work database and empties the table. Throws ErrorBaseDatos.
    explicit TablaInforme(const std::filesystem::path& baseDatos);

    void agregar(const std::string& campo1, const std::string& campo2, const std::string& campo3);
    [[nodiscard]] int filas() const { return filas_; }

private:
    std::unique_ptr<BaseDatos> db_;
    int filas_ = 0;
};

} // namespace envio
