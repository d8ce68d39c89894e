#include "platform/FileSystem.h"

#include "TemporaryFolder.h"
#include "host/CarpetaPrograma.h"

#include <gtest/gtest.h>

namespace envio {
namespace {

using test::TemporaryFolder;

TEST(FileSystemTest, FindsFilesWithoutRegardToCase) {
    TemporaryFolder folder;
    folder.write("krn.ini", "x");
    folder.write("Año/TEMPORAL.MDB", "y");
    EXPECT_EQ(fs::findIgnoringCase(folder.path(), "KRN.INI"), folder / "krn.ini");
    EXPECT_EQ(fs::findIgnoringCase(folder / "Año", "temporal.mdb"), folder / "Año/TEMPORAL.MDB");
    EXPECT_EQ(fs::findIgnoringCase(folder / "año", "temporal.mdb"), std::nullopt);
    EXPECT_EQ(fs::findIgnoringCase(folder.path(), "AÑO"), folder / "Año");
    EXPECT_EQ(fs::findIgnoringCase(folder.path(), "nada"), std::nullopt);
    EXPECT_EQ(fs::findIgnoringCase(folder / "no-existe", "nada"), std::nullopt);
}

TEST(FileSystemTest, AnExactNameWinsOverOtherSpellings) {
    TemporaryFolder folder;
    folder.write("KRN.INI", "a");
    folder.write("krn.ini", "b");
    EXPECT_EQ(fs::findIgnoringCase(folder.path(), "krn.ini"), folder / "krn.ini");
    EXPECT_EQ(fs::findIgnoringCase(folder.path(), "Krn.Ini"), folder / "KRN.INI");
}

TEST(FileSystemTest, ResolvesWindowsPathsComponentByComponent) {
    TemporaryFolder folder;
    folder.write("Suite/Datos/EMPRESA.MDB", "x");
    const std::string windows = folder.path().string() + "\\suite\\DATOS\\empresa.mdb";
    EXPECT_EQ(fs::resolvePathIgnoringCase(windows), folder / "Suite/Datos/EMPRESA.MDB");
    const std::string missing = folder.path().string() + "/SUITE\\nuevo\\Sub/x.pdf";
    EXPECT_EQ(fs::resolvePathIgnoringCase(missing), folder / "Suite/nuevo/Sub/x.pdf");
}

TEST(FileSystemTest, TheProgramFolderResolvesItsFilesInAnyCase) {
    TemporaryFolder folder;
    const CarpetaPrograma carpeta(folder.path());
    EXPECT_EQ(carpeta.krnIni(), folder / "KRN.INI");
    EXPECT_EQ(carpeta.temporalMdb(), folder / "temporal.mdb");
    folder.write("krn.ini", "");
    folder.write("Temporal.Mdb", "");
    EXPECT_EQ(carpeta.krnIni(), folder / "krn.ini");
    EXPECT_EQ(carpeta.temporalMdb(), folder / "Temporal.Mdb");
}

} // namespace
} // namespace envio
