#pragma once

#include <cstddef>
#include <cstdint>

// Unsigned numbers in seven bits a byte, the lowest first, the top bit of
// each byte but the last set: small numbers in few bytes.
namespace Varint {

constexpr std::size_t kLongest = 10;

inline std::size_t Bytes(std::uint64_t value) {
    std::size_t bytes = 1;
    while (value >= 0x80) {
        value >>= 7;
        ++bytes;
    }
    return bytes;
}

inline unsigned char* Write(unsigned char* at, std::uint64_t value) {
    for (;; value >>= 7) {
        *at++ = static_cast<unsigned char>((value & 0x7f) | (value >= 0x80 ? 0x80 : 0));
        if (value < 0x80)
            return at;
    }
}

template <typename Byte> Byte* Read(Byte* at, std::uint64_t& value) {
    value = 0;
    for (int shift = 0;; shift += 7) {
        const unsigned char byte = static_cast<unsigned char>(*at++);
        value |= std::uint64_t(byte & 0x7f) << shift;
        if (!(byte & 0x80))
            return at;
    }
}

} // namespace Varint
