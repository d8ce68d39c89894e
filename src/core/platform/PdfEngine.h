#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace envio {

// What the program does with a document's PDF besides mailing it: read the text it carries
// (to check it belongs to its recipient) and make a password-protected copy of it.
class PdfEngine {
public:
    virtual ~PdfEngine() = default;

    // The text of the document's pages in order, pages separated by a form feed; empty for a
    // scan (pages without text). Nothing when the file cannot be opened as a PDF. Reading stops
    // after the page at which `basta` says the text so far is enough (a caller that looks for
    // a name on a long document wants the first page that has it, not the whole document).
    using Basta = std::function<bool(std::string_view textoHastaAhora)>;
    virtual std::optional<std::string> texto(const std::filesystem::path& pdf,
                                             const Basta& basta = {}) = 0;

    // Writes to `destino` a copy of `origen` that opens only with `contrasena`: AES-256 with
    // the PDF 2.0 security handler. Throws std::runtime_error with the user's words.
    virtual void cifrar(const std::filesystem::path& origen, const std::filesystem::path& destino,
                        const std::string& contrasena) = 0;
};

// qpdf for the encryption, Poppler for the text.
class QpdfPopplerEngine : public PdfEngine {
public:
    std::optional<std::string> texto(const std::filesystem::path& pdf,
                                     const Basta& basta = {}) override;
    void cifrar(const std::filesystem::path& origen, const std::filesystem::path& destino,
                const std::string& contrasena) override;
};

} // namespace envio
