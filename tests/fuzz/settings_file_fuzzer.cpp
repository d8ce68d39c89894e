// Feeds arbitrary bytes to the settings-file reader and writer. Beyond not crashing: an untouched
// file comes back byte for byte; each edit changes only the one line it rewrites or the lines it
// adds, every other byte stays where it was; and a value written reads back as written.
#include "settings/IniDocument.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// What differs between the two files, once their common start and common end are set aside:
// in the old file, part of one line at most (no line end); in the new one, at most the line
// end that closes a last line without one and a new section with its key.
void checkOnlyOneLineChanged(const std::string& before, const std::string& after) {
    const std::size_t limit = std::min(before.size(), after.size());
    std::size_t start = 0;
    while (start < limit && before[start] == after[start]) {
        ++start;
    }
    std::size_t end = 0;
    while (end < limit - start &&
           before[before.size() - 1 - end] == after[after.size() - 1 - end]) {
        ++end;
    }
    const std::string removed = before.substr(start, before.size() - start - end);
    const std::string added = after.substr(start, after.size() - start - end);
    check(removed.find_first_of("\r\n") == std::string::npos);
    check(std::count(added.begin(), added.end(), '\n') <= 3);
}

void editAndCheck(envio::IniDocument& document, const std::string& section, const std::string& key,
                  const std::string& value) {
    const std::string before = document.bytes();
    document.setValue(section, key, value);
    const std::string after = document.bytes();
    checkOnlyOneLineChanged(before, after);
    check(envio::IniDocument(after).value(section, key) == value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const auto split = input.find('\x01');
    const std::string file = input.substr(0, split);
    const std::string name = split == std::string::npos ? "k" : input.substr(split + 1, 12);

    envio::IniDocument document(file);
    check(document.bytes() == file);
    (void)document.value("servidor", name);
    (void)document.value(name, "Puerto");

    // Names with brackets, equals signs, blanks or line ends cannot be stored by any profile
    // writer; the program only writes plain names.
    if (name.empty() || name.find_first_of("[]=;\r\n\t \"'") != std::string::npos) {
        return 0;
    }
    editAndCheck(document, "zz" + name, name, "valor"); // a new section, or a key in one
    editAndCheck(document, "zz" + name, name, "otro");  // the same key rewritten
    editAndCheck(document, "servidor", "zz" + name, "v");
    return 0;
}
