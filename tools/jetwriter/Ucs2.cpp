#include "Ucs2.h"

#include <stdexcept>
#include <string>

namespace jetwriter::detail {
namespace {

[[noreturn]] void fail(std::size_t at, const char* why) {
    throw std::invalid_argument("text " + std::string(why) + " (byte " + std::to_string(at) + ")");
}

// Length of the sequence announced by a lead byte, 0 if it cannot start one.
int sequenceLength(unsigned char lead) {
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

} // namespace

std::vector<std::uint8_t> utf8ToUcs2Le(std::string_view utf8) {
    std::vector<std::uint8_t> out;
    out.reserve(utf8.size() * 2);
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const int length = sequenceLength(lead);
        if (length == 0 || i + static_cast<std::size_t>(length) > utf8.size())
            fail(i, "is not valid UTF-8");
        if (length == 4)
            fail(i, "has a character beyond U+FFFF, which Jet's UCS-2 cannot store");
        char32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (int k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
            if ((next & 0xC0) != 0x80)
                fail(i, "is not valid UTF-8");
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong three-byte forms and UTF-16 surrogates are not characters.
        if (length == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF)))
            fail(i, "is not valid UTF-8");
        out.push_back(static_cast<std::uint8_t>(code & 0xFF));
        out.push_back(static_cast<std::uint8_t>(code >> 8));
        i += static_cast<std::size_t>(length);
    }
    return out;
}

} // namespace jetwriter::detail
