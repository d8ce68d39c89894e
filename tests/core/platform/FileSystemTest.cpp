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

// Each way alone, as a file system that refuses the others forces it: the file moves when the
// name is free, and neither file changes when it is taken.
TEST(FileSystemTest, EveryWayOfMovingWithoutReplacingKeepsAnExistingTarget) {
    for (const auto method : fs::kEveryNoReplaceMethod) {
        SCOPED_TRACE(static_cast<int>(method));
        TemporaryFolder folder;
        const auto from = folder.write("a.pdf", "documento");
        const auto taken = folder.write("b.ENVIADO.PDF", "otro");
        const fs::NoReplaceMethod only[] = {method};
        EXPECT_FALSE(fs::renameWithoutReplacing(from, taken, only));
        EXPECT_EQ(folder.read("a.pdf"), "documento");
        EXPECT_EQ(folder.read("b.ENVIADO.PDF"), "otro");

        EXPECT_TRUE(fs::renameWithoutReplacing(from, folder / "a.ENVIADO.PDF", only));
        EXPECT_FALSE(std::filesystem::exists(from));
        EXPECT_EQ(folder.read("a.ENVIADO.PDF"), "documento");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                                std::filesystem::directory_iterator()),
                  2)
            << "no placeholder or link left behind";
    }
    // A failure that is not about the way (the source is gone) is told, never taken as "taken".
    TemporaryFolder folder;
    const fs::NoReplaceMethod placeholder[] = {fs::NoReplaceMethod::Placeholder};
    EXPECT_THROW(
        fs::renameWithoutReplacing(folder / "no-existe.pdf", folder / "x.pdf", placeholder),
        std::runtime_error);
    EXPECT_FALSE(std::filesystem::exists(folder / "x.pdf")) << "the placeholder is removed";
}

} // namespace
} // namespace envio
