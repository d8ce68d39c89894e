// Damaged database files must give an error, never a crash or a hang: opens the bytes as a
// database file and reads every table through the program's engine.
#include "database/BaseDatos.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = "/tmp/envio-fuzz-" + std::to_string(::getpid()) + ".mdb";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    try {
        auto db = envio::BaseDatos::abrir(path);
        for (const auto& table : db->tablas()) {
            (void)db->abrirRegistros("SELECT * FROM [" + table + "]");
        }
    } catch (const envio::ErrorBaseDatos&) {
    }
    return 0;
}
