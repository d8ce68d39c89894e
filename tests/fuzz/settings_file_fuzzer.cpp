// Feeds arbitrary bytes to the settings-file reader and writer. Beyond not crashing, an edit must
// keep every byte of the file before the section it touches, and a value written must read back.
#include "settings/IniDocument.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
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
    document.setValue("zz" + name, name, "valor");
    const auto read = envio::IniDocument(document.bytes()).value("zz" + name, name);
    check(read.has_value());
    return 0;
}
