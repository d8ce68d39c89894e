#include "settings/IniFile.h"

#include "TemporaryFolder.h"
#include "platform/WriteInPlace.h"

#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace envio {
namespace {

using test::TemporaryFolder;

class IniFileTest : public ::testing::Test {
protected:
    TemporaryFolder folder;
    std::filesystem::path ini = folder / "KRN.INI";

    std::string read(std::string_view section, std::string_view key, std::string_view def = "#") {
        return LeerIni(ini, section, key, def);
    }
    // No temporary or backup file may be left beside KRN.INI.
    std::ptrdiff_t entries() const {
        return std::distance(std::filesystem::directory_iterator(folder.path()),
                             std::filesystem::directory_iterator());
    }
};

TEST_F(IniFileTest, MissingFileSectionOrKeyGiveTheDefaultButAnEmptyValueDoesNot) {
    EXPECT_EQ(read("servidor", "Puerto", "25"), "25");
    folder.write("KRN.INI", "[otra]\r\nPuerto=99\r\n[servidor]\r\nPuerto=\r\nVacio =  \r\n");
    EXPECT_EQ(read("nada", "Puerto", "25"), "25");
    EXPECT_EQ(read("servidor", "Ausente", "25"), "25");
    EXPECT_EQ(read("servidor", "Puerto", "25"), "");
    EXPECT_EQ(read("servidor", "Vacio", "25"), "");
}

TEST_F(IniFileTest, NamesMatchWithoutRegardToCaseIncludingAccentedLetters) {
    // "Facturación" in Windows-1252: the ó is the single byte 0xF3.
    folder.write("KRN.INI", "[servidor]\r\nServidor=smtp.ejemplo.es\r\n"
                            "[Facturaci\xF3n]\r\nBaseDatos=C:\\KRN\\datos.mdb\r\n");
    EXPECT_EQ(read("SERVIDOR", "servidor"), "smtp.ejemplo.es");
    EXPECT_EQ(read("FACTURACIÓN", "basedatos"), "C:\\KRN\\datos.mdb");
    EXPECT_EQ(read("facturación", "BASEDATOS"), "C:\\KRN\\datos.mdb");
    EXPECT_EQ(read("facturacion", "BaseDatos"), "#"); // an accent is not a different case
}

TEST_F(IniFileTest, ValuesAreTrimmedUnquotedConvertedAndCutAt256Characters) {
    const std::string longValue(300, 'x');
    folder.write("KRN.INI", "[s]\r\n  a  =   uno dos  \r\nb=\"  entre comillas \"\r\nc='x'\r\n"
                            "d=\"sin cerrar\r\ne=Adi\xF3s \x80\r\nlargo=" +
                                longValue + "\r\n");
    EXPECT_EQ(read("s", "a"), "uno dos");
    EXPECT_EQ(read("s", "b"), "  entre comillas ");
    EXPECT_EQ(read("s", "c"), "x");
    EXPECT_EQ(read("s", "d"), "\"sin cerrar");
    EXPECT_EQ(read("s", "e"), "Adiós €");
    EXPECT_EQ(read("s", "largo"), std::string(256, 'x'));
    EXPECT_EQ(LeerIni(ini, "s", "falta", std::string(300, 'd')), std::string(256, 'd'));
}

TEST_F(IniFileTest, TheFirstOfRepeatedSectionsAndKeysWinsAndCommentsNeverMatch) {
    folder.write("KRN.INI", "clave=fuera\r\n[s]\r\n;clave=comentario\r\nclave=primera\r\n"
                            "clave=segunda\r\n[S]\r\nclave=otra seccion\r\nsolo=2\r\n");
    EXPECT_EQ(read("s", "clave"), "primera");
    EXPECT_EQ(read("s", ";clave"), "#");
    EXPECT_EQ(read("s", "solo"), "#"); // only the first section of a name is looked at
}

TEST_F(IniFileTest, UntidyFilesAreReadWithoutTrouble) {
    using namespace std::string_literals;
    folder.write("KRN.INI", "\xEF\xBB\xBF[servidor]\nServidor=a\xC3\xB1o\n[roto\n"
                            "x=1\n\0\x01\xFF=\xFE\n[fin]\nultima=sin fin de linea"s);
    EXPECT_EQ(read("servidor", "Servidor"), "año"); // a byte-order mark makes it UTF-8
    EXPECT_EQ(read("servidor", "x"), "1");          // "[roto" is no section header
    EXPECT_EQ(read("fin", "ultima"), "sin fin de linea");
}

TEST_F(IniFileTest, WritingCreatesFileSectionAndKeyInWindows1252WithCrLf) {
    const auto sub = folder / "nuevo" / "krn.ini";
    std::filesystem::create_directories(sub.parent_path());
    ASSERT_TRUE(EscribirIni(sub, "Facturación", "BaseDatos", "Peña"));
    ASSERT_TRUE(EscribirIni(sub, "Facturación", "Otra", "x"));
    EXPECT_EQ(folder.read("nuevo/krn.ini"), "[Facturaci\xF3n]\r\nBaseDatos=Pe\xF1"
                                            "a\r\nOtra=x\r\n");
    EXPECT_EQ(LeerIni(sub, "FACTURACIÓN", "basedatos", ""), "Peña");
}

TEST_F(IniFileTest, WritingChangesOnlyTheOneLineAndKeepsEveryOtherByte) {
    const std::string before = "; comentario\r\n[servidor]\r\n  SERVIDOR = viejo \r\n"
                               "Puerto=25\r\n\r\n[otra]\r\nx = 1\r\n\r\n\r\n";
    folder.write("KRN.INI", before);
    EscribirIni(ini, "servidor", "servidor", "nuevo");
    EXPECT_EQ(folder.read("KRN.INI"), "; comentario\r\n[servidor]\r\nSERVIDOR=nuevo\r\n"
                                      "Puerto=25\r\n\r\n[otra]\r\nx = 1\r\n\r\n\r\n");
    EscribirIni(ini, "SERVIDOR", "cuenta", "yo@ejemplo.es");
    EXPECT_EQ(folder.read("KRN.INI"), "; comentario\r\n[servidor]\r\nSERVIDOR=nuevo\r\n"
                                      "Puerto=25\r\ncuenta=yo@ejemplo.es\r\n\r\n[otra]\r\n"
                                      "x = 1\r\n\r\n\r\n");
    EscribirIni(ini, "nueva", "k", "v");
    EXPECT_EQ(folder.read("KRN.INI"), "; comentario\r\n[servidor]\r\nSERVIDOR=nuevo\r\n"
                                      "Puerto=25\r\ncuenta=yo@ejemplo.es\r\n\r\n[otra]\r\n"
                                      "x = 1\r\n\r\n\r\n[nueva]\r\nk=v\r\n");
}

TEST_F(IniFileTest, WritingKeepsLfEndsAMissingLastEndAndAByteOrderMark) {
    folder.write("KRN.INI", "[a]\nx=1");
    EscribirIni(ini, "a", "x", "5"); // the last line changes and stays without its end
    EXPECT_EQ(folder.read("KRN.INI"), "[a]\nx=5");
    EscribirIni(ini, "a", "y", "2"); // a new line after it ends the old one, as lines do
    EXPECT_EQ(folder.read("KRN.INI"), "[a]\nx=5\ny=2\n");

    folder.write("KRN.INI", "\xEF\xBB\xBF[a]\r\nx=1\r\n");
    EscribirIni(ini, "A", "x", "año €");
    EXPECT_EQ(folder.read("KRN.INI"), "\xEF\xBB\xBF[a]\r\nx=a\xC3\xB1o \xE2\x82\xAC\r\n");
}

TEST_F(IniFileTest, LineBreaksBecomeBlanksAndUnknownCharactersBecomeQuestionMarks) {
    EscribirIni(ini, "s", "k", "a\r\nb\nc\rd");
    EscribirIni(ini, "s", "griego", "αβ€");
    EXPECT_EQ(folder.read("KRN.INI"), "[s]\r\nk=a  b c d\r\ngriego=??\x80\r\n");
    EXPECT_EQ(read("s", "k"), "a  b c d");
}

TEST_F(IniFileTest, AFailedWriteLeavesTheFileAsItWasAndNoTemporaryFile) {
    // A disk that fills up mid-write, simulated with a file-size limit (which binds root too).
    folder.write("KRN.INI", "[s]\r\nk=v\r\n");
    struct rlimit previous {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit tiny = previous;
    tiny.rlim_cur = 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tiny), 0);
    const bool written = EscribirIni(ini, "s", "k", std::string(100, 'x'));
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(written);
    EXPECT_EQ(folder.read("KRN.INI"), "[s]\r\nk=v\r\n");
    EXPECT_EQ(entries(), 1);
}

TEST_F(IniFileTest, ASaveKeepsTheFileItsOwnerGroupAndModeAndLeavesNoBackup) {
    folder.write("KRN.INI", "[s]\r\nk=v\r\n");
    ASSERT_EQ(::chmod(ini.c_str(), 0640), 0);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(ini.c_str(), 1234, 5678), 0); // a group-shared file of another user
    }
    struct stat before {};
    ASSERT_EQ(::stat(ini.c_str(), &before), 0);
    ASSERT_TRUE(EscribirIni(ini, "s", "k", "w"));
    struct stat after {};
    ASSERT_EQ(::stat(ini.c_str(), &after), 0);
    EXPECT_EQ(folder.read("KRN.INI"), "[s]\r\nk=w\r\n");
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    EXPECT_EQ(after.st_mode & 07777, 0640U);
    EXPECT_EQ(entries(), 1);
}

constexpr uid_t kNadie = 65534;

// Runs `work` in a child process as a user other than root (root ignores permissions) and
// returns its exit code; 99 when no other user could be taken. `prepare` runs first, as root.
int asAnotherUser(const std::function<void()>& prepare, const std::function<int()>& work) {
    const pid_t hijo = ::fork();
    if (hijo == 0) {
        if (::getuid() == 0) {
            prepare();
            if (::setgid(kNadie) != 0 || ::setuid(kNadie) != 0) {
                ::_exit(99);
            }
        }
        ::_exit(work());
    }
    int estado = 0;
    if (hijo < 0 || ::waitpid(hijo, &estado, 0) != hijo || !WIFEXITED(estado)) {
        return -1;
    }
    return WEXITSTATUS(estado);
}

// A writable KRN.INI in a folder the user may not add files to is still saved; the backup goes
// to the user's state folder meanwhile and is gone afterwards.
TEST_F(IniFileTest, AWritableFileInAFolderThatRefusesNewFilesIsSaved) {
    folder.write("conf/KRN.INI", "[s]\r\nk=v\r\n");
    const auto file = folder / "conf/KRN.INI";
    const auto state = folder / "estado";
    std::filesystem::create_directory(state);
    ASSERT_EQ(::chmod((folder / "conf").c_str(), 0555), 0);
    const int code = asAnotherUser(
        [&] {
            if (::chmod(folder.path().c_str(), 0755) != 0 ||
                ::chown(file.c_str(), kNadie, kNadie) != 0 ||
                ::chown(state.c_str(), kNadie, kNadie) != 0) {
                ::_exit(99);
            }
        },
        [&] {
            ::setenv("XDG_STATE_HOME", state.c_str(), 1);
            if (::access((folder / "conf").c_str(), W_OK) == 0) {
                return 98; // the folder still takes new files: nothing would be shown
            }
            bool backupInState = false;
            fs::writeFileInPlace(file, "[s]\r\nk=w\r\n", [&](fs::WriteStage stage) {
                if (stage == fs::WriteStage::BackupSaved) {
                    backupInState = !std::filesystem::is_empty(state / "envio-documentos");
                }
            });
            return backupInState && std::filesystem::is_empty(state / "envio-documentos") ? 0 : 1;
        });
    ::chmod((folder / "conf").c_str(), 0755);
    if (code == 98 || code == 99) {
        GTEST_SKIP() << "no user here is refused new files in a folder";
    }
    EXPECT_EQ(code, 0) << "1: the backup was not in the state folder or was left there";
    EXPECT_EQ(folder.read("conf/KRN.INI"), "[s]\r\nk=w\r\n");
}

// A save killed after its backup (the file half-written) is undone, and one killed after the
// new bytes were flushed is kept, by the next reader.
TEST_F(IniFileTest, AnInterruptedSaveIsUndoneOrCompletedBeforeTheNextRead) {
    const std::string antes = "[s]\r\nk=antiguo\r\n[otra]\r\nz=1\r\n";
    const std::string nuevo = "[s]\r\nk=nuevo\r\n[otra]\r\nz=1\r\n";
    const auto killedAt = [&](fs::WriteStage where) {
        folder.write("KRN.INI", antes);
        const pid_t hijo = ::fork();
        ASSERT_GE(hijo, 0);
        if (hijo == 0) {
            fs::writeFileInPlace(ini, nuevo, [&](fs::WriteStage stage) {
                if (stage == where) {
                    if (where == fs::WriteStage::BackupSaved) {
                        TemporaryFolder::writePath(ini, nuevo.substr(0, 9)); // a torn write
                    }
                    ::_exit(0);
                }
            });
            ::_exit(1);
        }
        int estado = 0;
        ASSERT_EQ(::waitpid(hijo, &estado, 0), hijo);
        ASSERT_TRUE(WIFEXITED(estado) && WEXITSTATUS(estado) == 0);
        ASSERT_TRUE(std::filesystem::exists(folder / ".KRN.INI.respaldo"));
    };
    killedAt(fs::WriteStage::BackupSaved);
    EXPECT_EQ(read("otra", "z"), "1");
    EXPECT_EQ(folder.read("KRN.INI"), antes);
    EXPECT_EQ(entries(), 1);

    killedAt(fs::WriteStage::ContentsWritten);
    EXPECT_EQ(read("s", "k"), "nuevo");
    EXPECT_EQ(folder.read("KRN.INI"), nuevo);
    EXPECT_EQ(entries(), 1);
}

TEST_F(IniFileTest, AReadOnlyFileIsNotReplacedAndALinkStaysALink) {
    const std::string antes = "[s]\r\nk=v\r\n[otra]\r\nz=1\r\n";
    folder.write("KRN.INI", antes);
    std::filesystem::permissions(ini, std::filesystem::perms::owner_read |
                                          std::filesystem::perms::group_read |
                                          std::filesystem::perms::others_read);
    EXPECT_FALSE(EscribirIni(ini, "s", "k", "w"));
    EXPECT_EQ(folder.read("KRN.INI"), antes);

    const auto real = folder / "real.ini";
    folder.write("real.ini", antes);
    std::filesystem::remove(ini);
    std::filesystem::create_symlink(real, ini);
    ASSERT_TRUE(EscribirIni(ini, "s", "k", "w"));
    EXPECT_TRUE(std::filesystem::is_symlink(ini));
    EXPECT_EQ(folder.read("real.ini"), "[s]\r\nk=w\r\n[otra]\r\nz=1\r\n");

    // A relative link to a file not written yet: the file appears where the link points.
    std::filesystem::create_directory(folder / "conf");
    std::filesystem::remove(ini);
    std::filesystem::create_symlink("conf/nuevo.ini", ini);
    ASSERT_TRUE(EscribirIni(ini, "s", "k", "1"));
    EXPECT_TRUE(std::filesystem::is_symlink(ini));
    EXPECT_EQ(folder.read("conf/nuevo.ini"), "[s]\r\nk=1\r\n");
}

// A file that can be replaced but not read: writing one key must not turn it into a file that
// holds that key alone. Run by a user who may write the file but not read it.
TEST_F(IniFileTest, AFileThatCannotBeReadIsNotReplacedByOneKey) {
    const std::string antes = "[s]\r\nk=v\r\n[otra]\r\nz=1\r\n";
    folder.write("KRN.INI", antes);
    std::filesystem::permissions(ini, std::filesystem::perms::owner_write);
    const int code = asAnotherUser(
        [&] {
            // Root reads anything: the file and the folder go to another user, who writes as one.
            if (::chown(ini.c_str(), kNadie, kNadie) != 0 ||
                ::chmod(folder.path().c_str(), 0777) != 0) {
                ::_exit(99);
            }
        },
        [&] {
            if (::access(folder.path().c_str(), W_OK | X_OK) != 0) {
                return 4; // the folder is out of this user's reach: the write would fail anyway
            }
            return EscribirIni(ini, "s", "k", "w") ? 1 : 0;
        });
    EXPECT_EQ(code, 0) << "1: the write went through, 4: the folder is out of reach, 99: no "
                          "other user, -1: the child died";
    std::filesystem::permissions(ini, std::filesystem::perms::owner_read,
                                 std::filesystem::perm_options::add);
    EXPECT_EQ(folder.read("KRN.INI"), antes);
}

} // namespace
} // namespace envio
