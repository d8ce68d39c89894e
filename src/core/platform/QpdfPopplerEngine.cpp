// qpdf's own smart pointers are std::shared_ptr now; nothing here uses the old ones.
#define POINTERHOLDER_TRANSITION 4

#include "platform/PdfEngine.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-global.h>
#include <poppler/cpp/poppler-page.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFWriter.hh>
#include <random>
#include <stdexcept>
#include <unistd.h>

namespace envio {
namespace {

// Poppler reports damaged files on stderr by default; a damaged document is our finding to
// tell, in the program's words.
void silencePoppler() {
    static std::once_flag once;
    std::call_once(
        once, [] { poppler::set_debug_error_function([](const std::string&, void*) {}, nullptr); });
}

// Nobody needs the owner password: the copy is for its employee, who opens it with the user
// password and may print and copy from it. A random one keeps it from being guessed.
std::string randomOwnerPassword() {
    std::random_device random;
    std::string password;
    for (int i = 0; i < 32; ++i) {
        password += "0123456789abcdef"[random() % 16];
    }
    return password;
}

// The copy is created here, private to this user from its first byte.
FILE* createPrivate(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        throw std::runtime_error("No se pudo crear la copia protegida " + path.string() + ": " +
                                 std::strerror(errno));
    }
    FILE* file = ::fdopen(fd, "wb");
    if (file == nullptr) {
        ::close(fd);
        throw std::runtime_error("No se pudo crear la copia protegida " + path.string());
    }
    return file;
}

} // namespace

std::optional<std::string> QpdfPopplerEngine::text(const std::filesystem::path& pdf,
                                                   const StopWhen& stopWhen) {
    silencePoppler();
    const std::unique_ptr<poppler::document> document(
        poppler::document::load_from_file(pdf.string()));
    if (!document || document->is_locked()) {
        return std::nullopt;
    }
    std::string text;
    const int pages = document->pages();
    for (int i = 0; i < pages; ++i) {
        const std::unique_ptr<poppler::page> page(document->create_page(i));
        if (!page) {
            continue;
        }
        if (i > 0) {
            text += '\f';
        }
        const auto utf8 = page->text().to_utf8();
        text.append(utf8.begin(), utf8.end());
        if (stopWhen && stopWhen(text)) {
            break;
        }
    }
    return text;
}

void QpdfPopplerEngine::encrypt(const std::filesystem::path& source,
                                const std::filesystem::path& target, const std::string& password) {
    FILE* file = createPrivate(target);
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(source.c_str());
        QPDFWriter writer(pdf, target.c_str(), file, true);
        file = nullptr; // the writer closes it
        const std::string owner = randomOwnerPassword();
        writer.setR6EncryptionParameters(password.c_str(), owner.c_str(), true, true, true, true,
                                         true, true, qpdf_r3p_full, true);
        writer.write();
    } catch (const std::exception& error) {
        if (file != nullptr) {
            std::fclose(file);
        }
        ::unlink(target.c_str());
        throw std::runtime_error("No se pudo proteger " + source.filename().string() +
                                 " con contraseña: " + error.what());
    }
}

} // namespace envio
