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
    // after the page at which `stopWhen` says the text so far is enough (a caller that looks for
    // a name on a long document wants the first page that has it, not the whole document).
    using StopWhen = std::function<bool(std::string_view textSoFar)>;
    virtual std::optional<std::string> text(const std::filesystem::path& pdf,
                                            const StopWhen& stopWhen = {}) = 0;

    // Writes to `target` a copy of `source` that opens only with `password`: AES-256 with
    // the PDF 2.0 security handler. Throws std::runtime_error with the user's words.
    virtual void encrypt(const std::filesystem::path& source, const std::filesystem::path& target,
                         const std::string& password) = 0;
};

// qpdf for the encryption, Poppler for the text.
class QpdfPopplerEngine : public PdfEngine {
public:
    std::optional<std::string> text(const std::filesystem::path& pdf,
                                    const StopWhen& stopWhen = {}) override;
    void encrypt(const std::filesystem::path& source, const std::filesystem::path& target,
                 const std::string& password) override;
};

} // namespace envio
