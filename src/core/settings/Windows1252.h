#pragma once

#include <string>
#include <string_view>

namespace envio {

// The suite keeps its settings in the Windows ANSI code page; inside the program text is UTF-8.
// The five byte values that Windows-1252 leaves undefined map to the C1 controls of the same
// number, as Windows itself does, so that every byte survives a round trip (the password
// scrambler shifts codes into that range).

// Bytes that are not valid UTF-8 are taken as Windows-1252, so a stray byte never aborts a read.
std::string utf8ToWindows1252(std::string_view utf8);
std::string windows1252ToUtf8(std::string_view bytes);

// The letters of a UTF-8 text that the code page has no place for (each once, in order, blank
// separated), which the settings file would store as "?"; empty when the whole text fits.
std::string charactersOutsideWindows1252(std::string_view utf8);

// Folds a Windows-1252 byte to upper case the way the platform's profile functions compare
// names: ASCII letters and the accented Latin letters ("facturación" equals "FACTURACIÓN").
unsigned char foldWindows1252(unsigned char c);

bool equalsIgnoringCaseWindows1252(std::string_view a, std::string_view b);

} // namespace envio
