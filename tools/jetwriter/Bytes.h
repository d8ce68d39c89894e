#pragma once

// Little-endian stores into page and row buffers; Jet is little-endian on every platform.

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace jetwriter::detail {

inline constexpr std::size_t kPageSize = 4096;
using Page = std::array<std::uint8_t, kPageSize>;

inline void putLE(std::uint8_t* at, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}
inline void put16(std::uint8_t* at, std::uint64_t value) {
    putLE(at, value, 2);
}
inline void put32(std::uint8_t* at, std::uint64_t value) {
    putLE(at, value, 4);
}
inline void putDouble(std::uint8_t* at, double value) {
    putLE(at, std::bit_cast<std::uint64_t>(value), 8);
}

inline void append16(std::vector<std::uint8_t>& out, std::uint64_t value) {
    out.resize(out.size() + 2);
    put16(out.data() + out.size() - 2, value);
}
inline void append32(std::vector<std::uint8_t>& out, std::uint64_t value) {
    out.resize(out.size() + 4);
    put32(out.data() + out.size() - 4, value);
}

} // namespace jetwriter::detail
