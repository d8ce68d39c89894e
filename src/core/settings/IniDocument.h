#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace envio {

// The bytes of one settings file, read and edited the way the platform's profile functions do:
// names match without regard to case, the first section and key of a name win, and an edit
// touches only the one line it changes (or the one it adds), so every other byte of a file that
// the suite's other programs also read stays as it was.
class IniDocument {
public:
    explicit IniDocument(const std::string& bytes);

    // Section, key and value are UTF-8; the document converts them to the file's encoding.
    // The value comes back trimmed of blanks and of one pair of enclosing quotes.
    [[nodiscard]] std::optional<std::string> value(std::string_view section,
                                                   std::string_view key) const;
    void setValue(std::string_view section, std::string_view key, std::string_view value);

    [[nodiscard]] std::string bytes() const;
    // Whether the file holds UTF-8 (it starts with the byte-order mark) rather than the code page.
    [[nodiscard]] bool isUtf8() const { return utf8_; }

private:
    struct Line {
        std::string text;       // without its end
        std::string terminator; // "\r\n", "\n" or "" for a last line without an end
    };

    [[nodiscard]] std::string toFile(std::string_view utf8) const;
    [[nodiscard]] std::string fromFile(std::string_view bytes) const;
    [[nodiscard]] bool namesMatch(std::string_view stored, std::string_view wanted) const;
    [[nodiscard]] std::optional<std::size_t> findSection(std::string_view section) const;
    [[nodiscard]] std::size_t sectionEnd(std::size_t header) const;
    [[nodiscard]] std::optional<std::size_t> findKey(std::size_t header,
                                                     std::string_view key) const;
    void insertLine(std::size_t position, std::string text);
    [[nodiscard]] std::string lineEnd() const;

    std::vector<Line> lines_;
    bool utf8_ = false; // a UTF-8 byte-order mark at the start makes the whole file UTF-8
};

} // namespace envio
