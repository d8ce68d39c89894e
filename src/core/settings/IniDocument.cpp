#include "settings/IniDocument.h"

#include "settings/Windows1252.h"

namespace envio {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::optional<std::string_view> sectionName(std::string_view line) {
    line = trim(line);
    if (line.empty() || line.front() != '[') {
        return std::nullopt;
    }
    const auto close = line.rfind(']');
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    return trim(line.substr(1, close - 1));
}

struct KeyLine {
    std::string_view name;
    std::string_view value;
};

std::optional<KeyLine> keyLine(std::string_view line) {
    const std::string_view trimmed = trim(line);
    if (trimmed.empty() || trimmed.front() == ';' || sectionName(trimmed)) {
        return std::nullopt;
    }
    const auto equals = trimmed.find('=');
    if (equals == std::string_view::npos) {
        return std::nullopt;
    }
    return KeyLine{trim(trimmed.substr(0, equals)), trim(trimmed.substr(equals + 1))};
}

std::string_view withoutEnclosingQuotes(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

} // namespace

IniDocument::IniDocument(const std::string& bytes) {
    std::string_view rest = bytes;
    if (rest.starts_with(kByteOrderMark)) {
        utf8_ = true;
    }
    while (!rest.empty()) {
        const auto newline = rest.find('\n');
        if (newline == std::string_view::npos) {
            lines_.push_back({std::string(rest), ""});
            break;
        }
        std::string_view text = rest.substr(0, newline);
        std::string terminator = "\n";
        if (!text.empty() && text.back() == '\r') {
            text.remove_suffix(1);
            terminator = "\r\n";
        }
        lines_.push_back({std::string(text), terminator});
        rest.remove_prefix(newline + 1);
    }
}

std::string IniDocument::bytes() const {
    std::string out;
    for (const auto& line : lines_) {
        out += line.text;
        out += line.terminator;
    }
    return out;
}

std::string IniDocument::toFile(std::string_view utf8) const {
    return utf8_ ? std::string(utf8) : utf8ToWindows1252(utf8);
}

std::string IniDocument::fromFile(std::string_view bytes) const {
    return utf8_ ? std::string(bytes) : windows1252ToUtf8(bytes);
}

bool IniDocument::namesMatch(std::string_view stored, std::string_view wanted) const {
    if (utf8_) {
        return equalsIgnoringCaseWindows1252(utf8ToWindows1252(stored), utf8ToWindows1252(wanted));
    }
    return equalsIgnoringCaseWindows1252(stored, toFile(wanted));
}

std::optional<std::size_t> IniDocument::findSection(std::string_view section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        std::string_view text = lines_[i].text;
        if (i == 0 && text.starts_with(kByteOrderMark)) {
            text.remove_prefix(kByteOrderMark.size());
        }
        const auto name = sectionName(text);
        if (name && namesMatch(*name, section)) {
            return i;
        }
    }
    return std::nullopt;
}

std::size_t IniDocument::sectionEnd(std::size_t header) const {
    std::size_t i = header + 1;
    while (i < lines_.size() && !sectionName(lines_[i].text)) {
        ++i;
    }
    return i;
}

std::optional<std::size_t> IniDocument::findKey(std::size_t header, std::string_view key) const {
    const std::size_t end = sectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
        const auto line = keyLine(lines_[i].text);
        if (line && namesMatch(line->name, key)) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<std::string> IniDocument::value(std::string_view section,
                                              std::string_view key) const {
    const auto header = findSection(section);
    if (!header) {
        return std::nullopt;
    }
    const auto index = findKey(*header, key);
    if (!index) {
        return std::nullopt;
    }
    return fromFile(withoutEnclosingQuotes(keyLine(lines_[*index].text)->value));
}

std::string IniDocument::lineEnd() const {
    for (const auto& line : lines_) {
        if (!line.terminator.empty()) {
            return line.terminator;
        }
    }
    return "\r\n"; // the suite's files come from Windows
}

void IniDocument::insertLine(std::size_t position, std::string text) {
    const std::string end = lineEnd();
    if (position > 0 && lines_[position - 1].terminator.empty()) {
        lines_[position - 1].terminator = end;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(position),
                  Line{std::move(text), end});
}

void IniDocument::setValue(std::string_view section, std::string_view key, std::string_view value) {
    const std::string stored = toFile(value);
    const auto header = findSection(section);
    if (!header) {
        insertLine(lines_.size(), "[" + toFile(section) + "]");
        insertLine(lines_.size(), toFile(key) + "=" + stored);
        return;
    }
    if (const auto index = findKey(*header, key)) {
        const std::string name(keyLine(lines_[*index].text)->name);
        lines_[*index].text = name + "=" + stored;
        return;
    }
    // A new key goes after the section's last line that is not blank, as the platform does.
    std::size_t position = sectionEnd(*header);
    while (position > *header + 1 && trim(lines_[position - 1].text).empty()) {
        --position;
    }
    insertLine(position, toFile(key) + "=" + stored);
}

} // namespace envio
