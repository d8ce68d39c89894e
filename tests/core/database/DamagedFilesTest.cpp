// Files that are not databases, or damaged ones, must give an error naming the file: never a
// crash, a hang or a silent empty answer.
#include "TemporaryFolder.h"
#include "database/BaseDatos.h"

#include <gtest/gtest.h>
#include <random>

namespace envio {
namespace {

using test::TemporaryFolder;

const std::filesystem::path kSamples = ENVIO_JET_SAMPLES;

void expectErrorNamingTheFile(const std::filesystem::path& file) {
    try {
        auto db = BaseDatos::abrir(file);
        for (const auto& table : db->tablas()) {
            (void)db->abrirRegistros("SELECT * FROM [" + table + "]");
        }
        ADD_FAILURE() << "no error for " << file;
    } catch (const ErrorBaseDatos& e) {
        EXPECT_NE(std::string(e.what()).find(file.string()), std::string::npos) << e.what();
    }
}

TEST(DamagedFilesTest, WhatIsNoDatabaseIsRefusedByName) {
    TemporaryFolder folder;
    expectErrorNamingTheFile(folder / "no-existe.mdb");
    expectErrorNamingTheFile(folder.write("vacio.mdb", ""));
    expectErrorNamingTheFile(folder.write("texto.mdb", "Esto no es una base de datos\r\n"));
    expectErrorNamingTheFile(folder.write("pdf.mdb", "%PDF-1.4\n" + std::string(5000, 'x')));
    std::filesystem::create_directory(folder / "carpeta.mdb");
    expectErrorNamingTheFile(folder / "carpeta.mdb");
    // The Jet signature alone, without the pages behind it.
    std::string header(4096, '\0');
    header.replace(4, 15, "Standard Jet DB");
    header[0x14] = 1;
    expectErrorNamingTheFile(folder.write("cabecera.mdb", header));
    expectErrorNamingTheFile(folder.write("sqlite.db", "SQLite format 3" + std::string(1, '\0') +
                                                           std::string(200, '\x07')));
}

TEST(DamagedFilesTest, TruncatedAndScrambledCopiesOfRealFilesNeverBringTheProgramDown) {
    if (!std::filesystem::is_directory(kSamples)) {
        GTEST_SKIP() << "no Access sample files at " << kSamples;
    }
    TemporaryFolder folder;
    std::mt19937 random(20261206);
    for (const char* name : {"testV2003.mdb", "testV1997.mdb", "indexTestV2003.mdb"}) {
        const std::string original = test::TemporaryFolder::readPath(kSamples / name);
        const auto truncated =
            folder.write("cut.mdb", original.substr(0, original.size() / 2 + 100));
        expectErrorNamingTheFile(truncated);
        for (int variant = 0; variant < 12; ++variant) {
            std::string damaged = original;
            std::uniform_int_distribution<std::size_t> where(0x200, damaged.size() - 1);
            for (int n = 0; n < 64; ++n) {
                damaged[where(random)] = static_cast<char>(random());
            }
            const auto file = folder.write("damaged.mdb", damaged);
            try {
                auto db = BaseDatos::abrir(file);
                for (const auto& table : db->tablas()) {
                    (void)db->abrirRegistros("SELECT * FROM [" + table + "]");
                }
            } catch (const ErrorBaseDatos& e) {
                EXPECT_NE(std::string(e.what()).find(file.string()), std::string::npos) << e.what();
            }
        }
    }
}

} // namespace
} // namespace envio
