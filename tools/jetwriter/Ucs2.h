#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace jetwriter::detail {

// UTF-8 to the plain UCS-2LE that Jet 4 stores (two bytes per character).
// Throws std::invalid_argument for malformed UTF-8 and for characters beyond U+FFFF,
// which UCS-2 cannot hold.
std::vector<std::uint8_t> utf8ToUcs2Le(std::string_view utf8);

} // namespace jetwriter::detail
